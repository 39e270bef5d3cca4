#pragma once
// C_Settings: the settings store. One of three interchangeable backends is chosen when it is opened: the
// registry (what the program uses), an INI file or an XML file. Values live under a base path; a section puts
// them one level below it ("Tags").
//
// Open and Close must not run concurrently with other calls. Between them, registry-mode reads and writes may
// come from several threads at once; the file backends are for one thread at a time.
#include "foundation/settings/SettingsIni.h"
#include "foundation/settings/SettingsRegistry.h"
#include "foundation/settings/SettingsStore.h"
#include "foundation/settings/SettingsXml.h"

#include <windows.h>

class C_Settings : public C_SettingsStore {
public:
    // Backend flags; when several are given, the first in this order is used for every operation.
    static constexpr uint32_t BACKEND_REGISTRY = 0x1;
    static constexpr uint32_t BACKEND_INI = 0x2;
    static constexpr uint32_t BACKEND_XML = 0x4;

    C_Settings() = default;
    // A store left open writes its XML document back, so values set through it are not lost.
    ~C_Settings() { Close(); }
    C_Settings(const C_Settings&) = delete;
    C_Settings& operator=(const C_Settings&) = delete;

    // root is used by the registry backend; basePath is the key path (registry) or the element path below the
    // document element (XML). filePath is the INI or XML file: null gives the executable's path with ".ini" or
    // ".xml", a bare file name is placed beside the executable. 1 on success; 0 when an existing XML file
    // cannot be loaded or no backend was chosen.
    int Open(uint32_t backends, HKEY root, const wchar_t* basePath, const wchar_t* filePath = nullptr);
    // Writes the XML document back (when it changed) and releases it; flushes the INI file. False when that
    // write failed; the store is closed either way.
    bool Close();

    uint64_t ReadNumber(const wchar_t* name, uint64_t defaultValue, const wchar_t* section = nullptr) const override;
    bool WriteNumber(const wchar_t* name, uint64_t value, const wchar_t* section = nullptr) override;
    bool ReadString(const wchar_t* name, C_String& dest, const wchar_t* defaultText = nullptr,
                    const wchar_t* section = nullptr) const override;
    bool WriteString(const wchar_t* name, const wchar_t* text, const wchar_t* section = nullptr) override;
    bool DeleteValue(const wchar_t* name, const wchar_t* section = nullptr) override;

    uint32_t GetBackend() const { return m_backend; } // the one flag in use, 0 while closed
    const wchar_t* GetFilePath() const { return m_filePath.c_str(); }

    // The file a backend uses for the given file path argument (see Open).
    static bool ResolveFilePath(const wchar_t* filePath, const wchar_t* defaultExtension, C_String& out);

private:
    const C_SettingsStore* Active() const;
    C_SettingsStore* Active();

    uint32_t m_backend = 0;
    C_String m_filePath;
    C_RegistrySettings m_registry;
    C_IniSettings m_ini;
    C_XmlSettings m_xml;
};
