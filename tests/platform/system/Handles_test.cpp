#include "platform/system/Handles.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

bool IsOpenHandle(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(HandlesTest, AKernelHandleIsClosedOnceByWhoeverOwnsItLast) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    {
        C_Handle first(event);
        first.Reset(event); // the same value again is no change of owner
        ASSERT_TRUE(IsOpenHandle(event));
        C_Handle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.Get(), event);
        C_Handle third;
        third = std::move(second);
        EXPECT_FALSE(second);
        EXPECT_TRUE(IsOpenHandle(event));
    }
    EXPECT_FALSE(IsOpenHandle(event));

    HANDLE kept = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    C_Handle(kept).Detach();
    EXPECT_TRUE(IsOpenHandle(kept)) << "detached means given away";
    CloseHandle(kept);
}

TEST(HandlesTest, BothFormsOfNoHandleOwnNothing) {
    for (HANDLE none : {HANDLE(nullptr), INVALID_HANDLE_VALUE}) {
        C_Handle adopted(none);
        EXPECT_FALSE(adopted);
        EXPECT_EQ(adopted.Detach(), nullptr);
        C_Handle received;
        *received.Receive() = none; // as a system call that fails writes through its out parameter
        EXPECT_FALSE(received);
        EXPECT_EQ(received.Detach(), nullptr);
    }
}

TEST(HandlesTest, ARegistryKeyThatCannotBeOpenedOwnsNothingAndSaysWhy) {
    const wchar_t* path = L"Software\\Brannick\\VeltoHandlesTest";
    C_RegistryKey key;
    LONG status = ERROR_SUCCESS;
    EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, L"Software\\Brannick\\VeltoHandlesTest\\missing", KEY_READ, &status));
    EXPECT_EQ(status, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key);
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, path, KEY_READ, &status));
    EXPECT_EQ(status, ERROR_SUCCESS);
    EXPECT_TRUE(key.Open(HKEY_CURRENT_USER, path, KEY_READ)); // replaces the created one
    key.Reset();
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, path), ERROR_SUCCESS) << "no handle keeps it";
}

// Counts the references a COM reference gives back.
class CountedObject : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--references); }
    int references = 0;
};

TEST(HandlesTest, AComReferenceGivesBackExactlyTheReferenceItHolds) {
    CountedObject object;
    {
        object.AddRef();
        C_ComRef<IUnknown> first(&object);
        C_ComRef<IUnknown> second(std::move(first));
        second.Reset(&object); // the same object again is no new reference
        EXPECT_EQ(object.references, 1);
        object.AddRef();
        *second.Receive() = &object; // an out parameter: the old reference goes first
        EXPECT_EQ(object.references, 1);
    }
    EXPECT_EQ(object.references, 0);
}

} // namespace
