// MSXML DOM access for the backup store.
#include "Backup/Store/XmlDom.h"

#include <ole2.h>

#include <vector>

namespace backup_xml {
namespace {

// {2933BF90-7B36-11D2-B20E-00C04F983E60}, the DOM document class.
const CLSID kDomDocumentClass = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
// {2933BF81-...}, the document interface; {2933BF80-...}, the node interface.
const IID kDocumentInterface = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kNodeInterface = {0x2933BF80, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
// {2933BF86-...}, the element interface.
const IID kElementInterface = {0x2933BF86, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// A VARIANT that refers to `text` without owning it.
VARIANT BorrowedString(const kv::UniqueBstr& text) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = text.get();
    return v;
}

// Whether the file declares a document type or entities ("<!DOCTYPE", "<!ENTITY"), in any of the
// encodings a parser accepts: the bytes are read with the zero bytes of UTF-16 left out.
bool DeclaresDocumentType(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string text;
    std::vector<char> block(64 * 1024);
    DWORD read = 0;
    while (ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &read, nullptr) && read > 0)
        for (DWORD i = 0; i < read; ++i)
            if (block[i] != 0) text.push_back(block[i]);
    CloseHandle(file);
    return text.find("<!DOCTYPE") != std::string::npos || text.find("<!ENTITY") != std::string::npos;
}

// setProperty("ProhibitDTD", true) of the document's second interface, reached through its
// dispatch interface so that only the first interface's declarations are needed. A component
// without the property keeps its defaults; Load refuses such documents by itself anyway.
void ProhibitDocumentTypes(IXMLDOMDocument* doc) {
    wchar_t method[] = L"setProperty";
    LPOLESTR names[] = {method};
    DISPID id = 0;
    if (FAILED(doc->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return;
    const kv::UniqueBstr property(L"ProhibitDTD");
    VARIANT arguments[2];  // in reverse order: the value, then the name
    VariantInit(&arguments[0]);
    arguments[0].vt = VT_BOOL;
    arguments[0].boolVal = VARIANT_TRUE;
    VariantInit(&arguments[1]);
    arguments[1].vt = VT_BSTR;
    arguments[1].bstrVal = property.get();
    DISPPARAMS parameters = {arguments, nullptr, 2, 0};
    doc->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, nullptr, nullptr, nullptr);
}

Node AsNode(IUnknown* object) {
    Node node;
    if (object) object->QueryInterface(kNodeInterface, reinterpret_cast<void**>(&node));
    return node;
}

Node Appended(IXMLDOMNode* parent, IUnknown* child) {
    Node node = AsNode(child);
    if (!parent || !node) return Node();
    Node added;
    if (FAILED(parent->appendChild(node.get(), &added))) return Node();
    return added;
}

}  // namespace

Document CreateDocument() {
    kv::ComPtr<IUnknown> object;
    if (FAILED(
            CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object))))
        return Document();
    if (FAILED(OleRun(object.get()))) return Document();
    Document doc;
    if (FAILED(object->QueryInterface(kDocumentInterface, reinterpret_cast<void**>(&doc)))) return Document();
    doc->put_async(VARIANT_FALSE);
    doc->put_validateOnParse(VARIANT_FALSE);
    doc->put_resolveExternals(VARIANT_FALSE);
    ProhibitDocumentTypes(doc.get());
    return doc;
}

Node Load(IXMLDOMDocument* doc, const std::wstring& path) {
    if (DeclaresDocumentType(path)) return Node();
    const kv::UniqueBstr source(path.c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(doc->load(BorrowedString(source), &loaded)) || loaded != VARIANT_TRUE) return Node();
    kv::ComPtr<IXMLDOMElement> root;
    if (doc->get_documentElement(&root) != S_OK) return Node();
    return AsNode(root.get());
}

bool SaveReplacing(IXMLDOMDocument* doc, const std::wstring& beside, const std::wstring& path, DWORD& error) {
    // A leftover of an interrupted save, possibly read-only, must not stop this one.
    SetFileAttributesW(beside.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(beside.c_str());
    const kv::UniqueBstr destination(beside.c_str());
    const HRESULT saved = doc->save(BorrowedString(destination));
    if (FAILED(saved)) {
        error = HRESULT_FACILITY(saved) == FACILITY_WIN32 ? HRESULT_CODE(saved) : static_cast<DWORD>(saved);
        DeleteFileW(beside.c_str());
        return false;
    }
    // On disk before it replaces the index, so a power cut leaves the old index or the new one.
    HANDLE written = CreateFileW(beside.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (written != INVALID_HANDLE_VALUE) {
        FlushFileBuffers(written);
        CloseHandle(written);
    }
    if (MoveFileExW(beside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    error = GetLastError();
    DeleteFileW(beside.c_str());
    return false;
}

Node DocumentNode(IXMLDOMDocument* doc) {
    return AsNode(doc);
}

Node FirstChild(IXMLDOMNode* node) {
    Node child;
    if (node->get_firstChild(&child) != S_OK) return Node();
    return child;
}

Node NextSibling(IXMLDOMNode* node) {
    Node next;
    if (node->get_nextSibling(&next) != S_OK) return Node();
    return next;
}

std::wstring Name(IXMLDOMNode* node) {
    kv::UniqueBstr name;
    if (FAILED(node->get_nodeName(&name))) return std::wstring();
    return name.str();
}

std::wstring Text(IXMLDOMNode* node) {
    kv::UniqueBstr text;
    if (FAILED(node->get_text(&text))) return std::wstring();
    return text.str();
}

bool SetText(IXMLDOMNode* node, const std::wstring& text) {
    const kv::UniqueBstr value(text.c_str());
    return SUCCEEDED(node->put_text(value.get()));
}

bool Attribute(IXMLDOMNode* node, const wchar_t* name, std::wstring& value) {
    kv::ComPtr<IXMLDOMElement> element;
    if (FAILED(node->QueryInterface(kElementInterface, reinterpret_cast<void**>(&element)))) return false;
    const kv::UniqueBstr attributeName(name);
    VARIANT v;
    VariantInit(&v);
    if (element->getAttribute(attributeName.get(), &v) != S_OK) return false;
    const bool isText = v.vt == VT_BSTR;
    if (isText) value.assign(v.bstrVal ? v.bstrVal : L"", v.bstrVal ? SysStringLen(v.bstrVal) : 0);
    VariantClear(&v);
    return isText;
}

Node FindChild(IXMLDOMNode* parent, const wchar_t* name) {
    for (Node child = FirstChild(parent); child; child = NextSibling(child.get())) {
        DOMNodeType type = NODE_INVALID;
        child->get_nodeType(&type);
        if (type == NODE_ELEMENT && Name(child.get()) == name) return child;
    }
    return Node();
}

Node AppendText(IXMLDOMDocument* doc, IXMLDOMNode* parent, const std::wstring& text) {
    const kv::UniqueBstr data(text.c_str());
    kv::ComPtr<IXMLDOMText> node;
    if (FAILED(doc->createTextNode(data.get(), &node))) return Node();
    return Appended(parent, node.get());
}

Node AppendElement(IXMLDOMDocument* doc, IXMLDOMNode* parent, const wchar_t* name, const std::wstring& text) {
    const kv::UniqueBstr tag(name);
    kv::ComPtr<IXMLDOMElement> element;
    if (FAILED(doc->createElement(tag.get(), &element))) return Node();
    Node node = AsNode(element.get());
    if (!node || (!text.empty() && !SetText(node.get(), text))) return Node();
    return Appended(parent, node.get());
}

bool SetAttribute(IXMLDOMNode* element, const wchar_t* name, const VARIANT& value) {
    kv::ComPtr<IXMLDOMElement> target;
    if (FAILED(element->QueryInterface(kElementInterface, reinterpret_cast<void**>(&target)))) return false;
    const kv::UniqueBstr attributeName(name);
    return SUCCEEDED(target->setAttribute(attributeName.get(), value));
}

bool AppendProcessingInstruction(IXMLDOMDocument* doc, const wchar_t* target, const wchar_t* data) {
    const kv::UniqueBstr targetText(target);
    const kv::UniqueBstr dataText(data);
    kv::ComPtr<IXMLDOMProcessingInstruction> instruction;
    if (FAILED(doc->createProcessingInstruction(targetText.get(), dataText.get(), &instruction))) return false;
    return static_cast<bool>(Appended(DocumentNode(doc).get(), instruction.get()));
}

bool RemoveChild(IXMLDOMNode* parent, IXMLDOMNode* child) {
    Node removed;
    return SUCCEEDED(parent->removeChild(child, &removed));
}

}  // namespace backup_xml
