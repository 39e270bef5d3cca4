#include "platform/formats/XmlDocument.h"

#include <msxml2.h>

#include <cwchar>
#include <utility>

namespace {

// The GUIDs are spelt out here: the import libraries carry those of the old msxml.h only.
constexpr CLSID kClsidDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr CLSID kClsidDomDocument30 = {0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};
constexpr IID kIidDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
constexpr IID kIidDomElement = {0x2933bf86, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

constexpr wchar_t kPathSeparator = L'\\';
constexpr const wchar_t* kDeclarationTarget = L"xml";
constexpr const wchar_t* kDeclaration = L"version=\"1.0\" encoding=\"UTF-8\"";
constexpr const wchar_t* kSaveSuffix = L".new";
constexpr uint32_t kEscapeLength = 7;      // _xHHHH_
constexpr DWORD kMaxFileBytes = 64u << 20; // a settings or answer file is small; refuse absurd ones

// --- small COM helpers -------------------------------------------------------------------------------------

// A system string owned for one scope: a copy of some text, or one the system handed over (AdoptBstr).
struct AdoptBstr {
    BSTR text;
};

class C_Bstr {
public:
    explicit C_Bstr(const wchar_t* text) : m_text(SysAllocString(text ? text : L"")) {}
    explicit C_Bstr(AdoptBstr adopted) : m_text(adopted.text) {}
    ~C_Bstr() { SysFreeString(m_text); }
    C_Bstr(const C_Bstr&) = delete;
    C_Bstr& operator=(const C_Bstr&) = delete;
    BSTR Get() const { return m_text; }

private:
    BSTR m_text;
};

VARIANT BoolVariant(bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

// Replaces text by a longer copy; on failure text is released and null.
bool AppendToBstr(BSTR& text, const wchar_t* more, UINT units) {
    UINT length = SysStringLen(text);
    BSTR joined = SysAllocStringLen(nullptr, length + units);
    if (joined) {
        memcpy(joined, text, length * sizeof(wchar_t));
        memcpy(joined + length, more, units * sizeof(wchar_t));
    }
    SysFreeString(text);
    text = joined;
    return joined != nullptr;
}

DOMNodeType NodeType(IXMLDOMNode* node) {
    DOMNodeType type = NODE_INVALID;
    node->get_nodeType(&type);
    return type;
}

bool IsTextNode(IXMLDOMNode* node) {
    DOMNodeType type = NodeType(node);
    return type == NODE_TEXT || type == NODE_CDATA_SECTION;
}

C_XmlNode FirstChildOf(IXMLDOMNode* parent) {
    IXMLDOMNode* child = nullptr;
    return C_XmlNode(parent->get_firstChild(&child) == S_OK ? child : nullptr);
}

C_XmlNode NextSiblingOf(const C_XmlNode& node) {
    IXMLDOMNode* next = nullptr;
    return C_XmlNode(node.Get()->get_nextSibling(&next) == S_OK ? next : nullptr);
}

bool NameMatches(IXMLDOMNode* node, BSTR wanted) {
    C_XmlText name;
    if (FAILED(node->get_nodeName(name.Receive())))
        return false;
    return CompareStringOrdinal(name.c_str(), int(name.GetLength()), wanted, int(SysStringLen(wanted)), TRUE) ==
           CSTR_EQUAL;
}

C_XmlNode FindChildElement(IXMLDOMNode* parent, BSTR name) {
    for (C_XmlNode child = FirstChildOf(parent); child; child = NextSiblingOf(child)) {
        if (NodeType(child.Get()) == NODE_ELEMENT && NameMatches(child.Get(), name))
            return child;
    }
    return C_XmlNode();
}

// XML 1.0 carries tab, line feed, carriage return and the characters from U+0020 on, except U+FFFE, U+FFFF
// and surrogates that do not form a pair.
bool IsXmlText(const wchar_t* text) {
    for (; *text; ++text) {
        wchar_t c = *text;
        if (c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r')
            return false;
        if (c == 0xFFFE || c == 0xFFFF || (c >= 0xDC00 && c <= 0xDFFF))
            return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (text[1] < 0xDC00 || text[1] > 0xDFFF)
                return false;
            ++text;
        }
    }
    return true;
}

// --- names -------------------------------------------------------------------------------------------------

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}
bool IsHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
}
bool IsNameStart(wchar_t c) {
    return IsAsciiLetter(c) || c == L'_';
}
bool IsNameChar(wchar_t c) {
    return IsNameStart(c) || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.';
}

bool LooksLikeEscape(const wchar_t* text, uint32_t remaining) {
    return remaining >= kEscapeLength && text[0] == L'_' && text[1] == L'x' && IsHexDigit(text[2]) &&
           IsHexDigit(text[3]) && IsHexDigit(text[4]) && IsHexDigit(text[5]) && text[6] == L'_';
}

bool NeedsEscape(const wchar_t* component, uint32_t index, uint32_t length) {
    wchar_t c = component[index];
    if (!(index == 0 ? IsNameStart(c) : IsNameChar(c)))
        return true;
    return LooksLikeEscape(component + index, length - index);
}

// Splits off the next non-empty component of a path; false at the end.
bool NextComponent(const wchar_t*& path, const wchar_t*& start, uint32_t& length) {
    while (path && *path == kPathSeparator)
        ++path;
    if (!path || !*path)
        return false;
    start = path;
    while (*path && *path != kPathSeparator)
        ++path;
    length = uint32_t(path - start);
    return true;
}

} // namespace

BSTR EncodeXmlName(const wchar_t* component, uint32_t length) {
    uint32_t encodedLength = 0;
    for (uint32_t i = 0; i < length; ++i)
        encodedLength += NeedsEscape(component, i, length) ? kEscapeLength : 1;
    BSTR encoded = SysAllocStringLen(nullptr, encodedLength);
    if (!encoded)
        return nullptr;
    wchar_t* out = encoded;
    for (uint32_t i = 0; i < length; ++i) {
        if (NeedsEscape(component, i, length)) {
            _snwprintf(out, kEscapeLength + 1, L"_x%04X_", unsigned(component[i]));
            out += kEscapeLength;
        } else {
            *out++ = component[i];
        }
    }
    *out = 0;
    return encoded;
}

// --- C_XmlText -----------------------------------------------------------------------------------------

C_XmlText& C_XmlText::operator=(C_XmlText&& other) noexcept {
    if (this != &other) {
        Clear();
        m_text = other.m_text;
        other.m_text = nullptr;
    }
    return *this;
}

void C_XmlText::Clear() {
    SysFreeString(m_text);
    m_text = nullptr;
}

BSTR* C_XmlText::Receive() {
    Clear();
    return &m_text;
}

void C_XmlText::Adopt(BSTR text) {
    Clear();
    m_text = text;
}

// --- C_XmlNode -----------------------------------------------------------------------------------------

C_XmlNode::C_XmlNode(IXMLDOMNode* node) : m_node(node) {}
C_XmlNode::~C_XmlNode() = default;
C_XmlNode::C_XmlNode(C_XmlNode&& other) noexcept = default;
C_XmlNode& C_XmlNode::operator=(C_XmlNode&& other) noexcept = default;

void C_XmlNode::Reset() {
    m_node.Reset();
}

C_XmlNode C_XmlNode::Share() const {
    if (m_node)
        m_node->AddRef();
    return C_XmlNode(m_node.Get());
}

bool C_XmlNode::GetName(C_XmlText& out) const {
    return m_node && m_node->get_nodeName(out.Receive()) == S_OK;
}

bool C_XmlNode::GetText(C_XmlText& out) const {
    out.Clear();
    if (!m_node)
        return false;
    BSTR text = SysAllocString(L"");
    for (C_XmlNode child = FirstChildOf(m_node.Get()); child && text; child = NextSiblingOf(child)) {
        if (!IsTextNode(child.Get()))
            continue;
        VARIANT value;
        VariantInit(&value);
        if (child.Get()->get_nodeValue(&value) == S_OK && value.vt == VT_BSTR)
            AppendToBstr(text, value.bstrVal, SysStringLen(value.bstrVal));
        VariantClear(&value);
    }
    out.Adopt(text);
    return text != nullptr;
}

bool C_XmlNode::GetAttribute(const wchar_t* name, C_XmlText& out) const {
    out.Clear();
    C_ComRef<IXMLDOMElement> element;
    if (!m_node || !name || FAILED(m_node->QueryInterface(kIidDomElement, element.ReceiveVoid())))
        return false;
    C_Bstr attributeName(name);
    VARIANT value;
    VariantInit(&value);
    bool found = element->getAttribute(attributeName.Get(), &value) == S_OK && value.vt == VT_BSTR;
    if (found) {
        out.Adopt(value.bstrVal);
        value.vt = VT_EMPTY; // the text now belongs to out
    }
    VariantClear(&value);
    return found;
}

// --- C_XmlDocument: life ---------------------------------------------------------------------------------

C_XmlDocument::C_XmlDocument() = default;
C_XmlDocument::~C_XmlDocument() {
    Release();
}

// Enters the thread's apartment and makes a parser that never resolves anything outside the text it is given.
bool C_XmlDocument::Prepare() {
    Release();
    HRESULT entered = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(entered) && entered != RPC_E_CHANGED_MODE)
        return false;
    m_comEntered = SUCCEEDED(entered); // a thread already in another apartment can use the parser as it is
    if (FAILED(CoCreateInstance(kClsidDomDocument60, nullptr, CLSCTX_INPROC_SERVER, kIidDomDocument2,
                                m_document.ReceiveVoid())) &&
        FAILED(CoCreateInstance(kClsidDomDocument30, nullptr, CLSCTX_INPROC_SERVER, kIidDomDocument2,
                                m_document.ReceiveVoid()))) {
        m_document.Detach(); // a failed creation may leave anything in its out parameter
        Release();
        return false;
    }
    m_document->put_async(VARIANT_FALSE);
    m_document->put_validateOnParse(VARIANT_FALSE);
    m_document->put_resolveExternals(VARIANT_FALSE);
    // Kept as written: values with leading or trailing blanks must come back unchanged.
    m_document->put_preserveWhiteSpace(VARIANT_TRUE);
    C_Bstr prohibitDtd(L"ProhibitDTD");
    m_document->setProperty(prohibitDtd.Get(), BoolVariant(true)); // the default of version 6, not of 3
    return true;
}

void C_XmlDocument::Release() {
    m_document.Reset();
    if (m_comEntered)
        CoUninitialize();
    m_comEntered = false;
}

// A document type is refused even where the parser ignored ProhibitDTD: nothing the program reads needs one.
bool C_XmlDocument::FinishLoad(HRESULT result, VARIANT_BOOL loaded) {
    C_ComRef<IXMLDOMDocumentType> documentType;
    if (result == S_OK && loaded == VARIANT_TRUE && m_document->get_doctype(documentType.Receive()) != S_OK)
        return true;
    documentType.Reset();
    Release();
    return false;
}

bool C_XmlDocument::Create(const wchar_t* rootName) {
    if (!rootName || !Prepare())
        return false;
    C_Bstr target(kDeclarationTarget);
    C_Bstr declarationText(kDeclaration);
    C_ComRef<IXMLDOMProcessingInstruction> declaration;
    if (FAILED(m_document->createProcessingInstruction(target.Get(), declarationText.Get(), declaration.Receive())) ||
        FAILED(m_document->appendChild(declaration.Get(), nullptr))) {
        Release();
        return false;
    }
    C_XmlNode root = FindOrCreateElement(rootName);
    if (!root)
        Release();
    return root.IsValid();
}

bool C_XmlDocument::LoadText(const wchar_t* text) {
    if (!text || !Prepare())
        return false;
    C_Bstr source(text);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    HRESULT result = m_document->loadXML(source.Get(), &loaded);
    return FinishLoad(result, loaded);
}

bool C_XmlDocument::LoadBytes(const void* data, uint32_t size) {
    if (!data || !Prepare())
        return false;
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, size);
    void* target = nullptr;
    if (!bytes || FAILED(SafeArrayAccessData(bytes, &target))) {
        if (bytes)
            SafeArrayDestroy(bytes);
        Release();
        return false;
    }
    memcpy(target, data, size);
    SafeArrayUnaccessData(bytes);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_ARRAY | VT_UI1;
    source.parray = bytes;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    HRESULT result = m_document->load(source, &loaded);
    SafeArrayDestroy(bytes);
    return FinishLoad(result, loaded);
}

// The file is read here rather than by the parser, which would take the path as an address ('#' and '%' in a
// folder name would then mean something else).
bool C_XmlDocument::LoadFile(const wchar_t* path) {
    Release();
    if (!path)
        return false;
    C_Handle file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file.Get(), &size) && size.QuadPart <= kMaxFileBytes;
    void* data = ok ? HeapAlloc(GetProcessHeap(), 0, size.QuadPart ? SIZE_T(size.QuadPart) : 1) : nullptr;
    DWORD read = 0;
    ok = data && ReadFile(file.Get(), data, DWORD(size.QuadPart), &read, nullptr) && read == DWORD(size.QuadPart);
    file.Reset();
    ok = ok && LoadBytes(data, read);
    if (data)
        HeapFree(GetProcessHeap(), 0, data);
    return ok;
}

bool C_XmlDocument::Save(const wchar_t* path) const {
    if (!m_document || !path || !*path)
        return false;
    C_Bstr temporary(AdoptBstr{SysAllocStringLen(nullptr, UINT(wcslen(path) + wcslen(kSaveSuffix)))});
    if (!temporary.Get())
        return false;
    wcscpy(temporary.Get(), path);
    wcscat(temporary.Get(), kSaveSuffix);
    VARIANT destination;
    VariantInit(&destination);
    destination.vt = VT_BSTR;
    destination.bstrVal = temporary.Get();
    if (FAILED(m_document->save(destination))) {
        DeleteFileW(temporary.Get());
        return false;
    }
    if (MoveFileExW(temporary.Get(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(temporary.Get());
    return false;
}

// --- C_XmlDocument: paths --------------------------------------------------------------------------------

C_XmlNode C_XmlDocument::GetDocumentNode() const {
    if (!m_document)
        return C_XmlNode();
    m_document->AddRef();
    return C_XmlNode(m_document.Get());
}

C_XmlNode C_XmlDocument::GetDocumentElement() const {
    IXMLDOMElement* root = nullptr;
    if (!m_document || m_document->get_documentElement(&root) != S_OK)
        return C_XmlNode();
    return C_XmlNode(root);
}

C_XmlNode C_XmlDocument::StartNode(const C_XmlNode* from) const {
    return from ? from->Share() : GetDocumentNode();
}

C_XmlNode C_XmlDocument::FindElement(const wchar_t* path, const C_XmlNode* from) const {
    C_XmlNode node = StartNode(from);
    const wchar_t* start = nullptr;
    uint32_t length = 0;
    while (node && NextComponent(path, start, length)) {
        C_Bstr name(AdoptBstr{EncodeXmlName(start, length)});
        node = name.Get() ? FindChildElement(node.Get(), name.Get()) : C_XmlNode();
    }
    return node;
}

C_XmlNode C_XmlDocument::CreateChild(const C_XmlNode& parent, const wchar_t* encodedName) {
    C_Bstr name(encodedName);
    C_ComRef<IXMLDOMElement> element;
    IXMLDOMNode* added = nullptr;
    if (FAILED(m_document->createElement(name.Get(), element.Receive())) ||
        parent.Get()->appendChild(element.Get(), &added) != S_OK)
        return C_XmlNode();
    return C_XmlNode(added);
}

C_XmlNode C_XmlDocument::FindOrCreateElement(const wchar_t* path, const C_XmlNode* from) {
    C_XmlNode node = StartNode(from);
    const wchar_t* start = nullptr;
    uint32_t length = 0;
    while (node && NextComponent(path, start, length)) {
        C_Bstr name(AdoptBstr{EncodeXmlName(start, length)});
        if (!name.Get())
            return C_XmlNode();
        C_XmlNode child = FindChildElement(node.Get(), name.Get());
        node = child ? std::move(child) : CreateChild(node, name.Get());
    }
    return node;
}

bool C_XmlDocument::ReadText(const wchar_t* path, C_XmlText& out, const C_XmlNode* from) const {
    C_XmlNode element = FindElement(path, from);
    if (!element) {
        out.Clear();
        return false;
    }
    return element.GetText(out);
}

bool C_XmlDocument::WriteText(const C_XmlNode& element, const wchar_t* text) {
    if (!m_document || !element || NodeType(element.Get()) != NODE_ELEMENT || (text && !IsXmlText(text)))
        return false;
    for (C_XmlNode child = FirstChildOf(element.Get()); child;) {
        C_XmlNode next = NextSiblingOf(child);
        if (IsTextNode(child.Get()))
            element.Get()->removeChild(child.Get(), nullptr);
        child = std::move(next);
    }
    if (!text || !*text)
        return true;
    C_Bstr value(text);
    C_ComRef<IXMLDOMText> node;
    return SUCCEEDED(m_document->createTextNode(value.Get(), node.Receive())) &&
           element.Get()->appendChild(node.Get(), nullptr) == S_OK;
}

bool C_XmlDocument::ForEachChild(const wchar_t* path, ChildVisitor visit, void* context, const C_XmlNode* from) const {
    C_XmlNode parent = FindElement(path, from);
    if (!parent || !visit)
        return false;
    for (C_XmlNode child = FirstChildOf(parent.Get()); child; child = NextSiblingOf(child)) {
        if (NodeType(child.Get()) != NODE_ELEMENT)
            continue;
        C_XmlText name;
        C_XmlText text;
        child.GetName(name);
        child.GetText(text);
        if (visit(context, name.c_str(), text.c_str(), child) == 1)
            break;
    }
    return true;
}
