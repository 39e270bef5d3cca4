#pragma once
// The XML document service over the system's COM XML parser (MSXML 6, else 3). It serves the XML backend of
// the settings store and the update check: load from text, bytes or a file; find or create elements by a
// backslash-separated path; read and write an element's text; read an attribute; walk the child elements of
// an element; save.
//
// Paths: components separated by backslashes, empty components skipped, each matched against element names
// without regard to case. A component that is not a valid XML name (a port key such as "tcp://host:23") is
// stored with the offending characters written as _xHHHH_, so any text can name an element.
//
// Threads: a document is used on the thread that loaded or created it (the thread's COM apartment is entered
// on first use and left when the document is released). DTDs are refused and nothing external is fetched, so
// text from the network can be loaded safely.
#include "platform/system/Handles.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdint>

struct IXMLDOMDocument2;
struct IXMLDOMNode;

// Text handed out by the service: an owned system string.
class C_XmlText {
public:
    C_XmlText() = default;
    ~C_XmlText() { Clear(); }
    C_XmlText(C_XmlText&& other) noexcept : m_text(other.m_text) { other.m_text = nullptr; }
    C_XmlText& operator=(C_XmlText&& other) noexcept;
    C_XmlText(const C_XmlText&) = delete;
    C_XmlText& operator=(const C_XmlText&) = delete;

    const wchar_t* c_str() const { return m_text ? m_text : L""; }
    uint32_t GetLength() const { return SysStringLen(m_text); }
    void Clear();
    BSTR* Receive(); // for out parameters: releases the current text first
    void Adopt(BSTR text);

private:
    BSTR m_text = nullptr;
};

// A reference to one node of a document; empty when a lookup found nothing.
class C_XmlNode {
public:
    // Defined where the parser's interfaces are known, which releasing a reference needs.
    C_XmlNode() = default;
    explicit C_XmlNode(IXMLDOMNode* node); // takes over the reference
    ~C_XmlNode();
    C_XmlNode(C_XmlNode&& other) noexcept;
    C_XmlNode& operator=(C_XmlNode&& other) noexcept;
    C_XmlNode(const C_XmlNode&) = delete;
    C_XmlNode& operator=(const C_XmlNode&) = delete;

    bool IsValid() const { return m_node.Get() != nullptr; }
    explicit operator bool() const { return IsValid(); }
    IXMLDOMNode* Get() const { return m_node.Get(); }
    C_XmlNode Share() const; // a second reference to the same node
    void Reset();

    bool GetName(C_XmlText& out) const;
    // The text directly inside this element (its text and CDATA children, not those of child elements).
    bool GetText(C_XmlText& out) const;
    bool GetAttribute(const wchar_t* name, C_XmlText& out) const;

private:
    C_ComRef<IXMLDOMNode> m_node;
};

class C_XmlDocument {
public:
    // Called for each child element in order with its name, its text and the node; return 1 to stop.
    using ChildVisitor = int (*)(void* context, const wchar_t* name, const wchar_t* text, const C_XmlNode& node);

    C_XmlDocument();
    ~C_XmlDocument();
    C_XmlDocument(const C_XmlDocument&) = delete;
    C_XmlDocument& operator=(const C_XmlDocument&) = delete;

    // A new document holding only a declaration and an empty document element.
    bool Create(const wchar_t* rootName);
    bool LoadText(const wchar_t* text);
    // Bytes as they would be in a file; the encoding is taken from the byte-order mark or declaration.
    bool LoadBytes(const void* data, uint32_t size);
    bool LoadFile(const wchar_t* path);
    // Writes to a temporary file beside path and then replaces path, so a failed save never leaves a cut file.
    bool Save(const wchar_t* path) const;
    void Release();
    bool IsLoaded() const { return m_document.Get() != nullptr; }

    // The document node: paths from it begin with the document element's name ("update\info").
    C_XmlNode GetDocumentNode() const;
    C_XmlNode GetDocumentElement() const;

    // The element at path below from (the document node when from is null); an empty path is from itself.
    C_XmlNode FindElement(const wchar_t* path, const C_XmlNode* from = nullptr) const;
    C_XmlNode FindOrCreateElement(const wchar_t* path, const C_XmlNode* from = nullptr);
    bool ReadText(const wchar_t* path, C_XmlText& out, const C_XmlNode* from = nullptr) const;
    // Replaces the element's own text; its child elements are kept. Text that XML cannot hold (control
    // characters other than tab and line ends, U+FFFE, U+FFFF, unpaired surrogates) is refused, since the saved
    // file could not be loaded again. Line ends come back as line feeds, as XML reads them.
    bool WriteText(const C_XmlNode& element, const wchar_t* text);
    bool ForEachChild(const wchar_t* path, ChildVisitor visit, void* context, const C_XmlNode* from = nullptr) const;

    template <class Visitor>
    bool ForEachChild(const wchar_t* path, Visitor& visitor, const C_XmlNode* from = nullptr) const {
        return ForEachChild(
            path,
            [](void* context, const wchar_t* name, const wchar_t* text, const C_XmlNode& node) {
                return (*static_cast<Visitor*>(context))(name, text, node);
            },
            &visitor, from);
    }

private:
    bool Prepare();
    bool FinishLoad(HRESULT result, VARIANT_BOOL loaded);
    C_XmlNode StartNode(const C_XmlNode* from) const;
    C_XmlNode CreateChild(const C_XmlNode& parent, const wchar_t* encodedName);

    C_ComRef<IXMLDOMDocument2> m_document;
    bool m_comEntered = false;
};

// The element name a path component is stored under: the text itself when it is a valid name, otherwise the
// text with each offending character written as _xHHHH_ (also an underscore that would start such a sequence).
BSTR EncodeXmlName(const wchar_t* component, uint32_t length);
