// The few operations of the platform's MSXML DOM document that the backup store needs, over owned
// COM pointers. The document component is created through CoCreateInstance on the version-
// independent DOM document class; nothing here shows a message.
#pragma once

#include <windows.h>
#include <msxml.h>

#include <string>

#include "Kv/KvHandles.h"

namespace backup_xml {

using Document = kv::ComPtr<IXMLDOMDocument>;
using Node = kv::ComPtr<IXMLDOMNode>;

// A new, empty document with asynchronous loading off, document type declarations prohibited and
// external entities never resolved; null when the component is missing.
Document CreateDocument();
// Loads `path`; the document element, or null when the file is missing, not well-formed XML, or
// holds a document type or entity declaration (refused before the parser sees it, whatever the
// component's own settings).
Node Load(IXMLDOMDocument* doc, const std::wstring& path);
// Writes the document to `beside` and then moves that over `path`, so an interrupted save leaves
// the previous file whole. False, with the system's error code in `error`, when either step fails
// (the previous file is then unchanged and nothing is left at `beside`).
bool SaveReplacing(IXMLDOMDocument* doc, const std::wstring& beside, const std::wstring& path, DWORD& error);

// The document itself as a node, to append its document element to.
Node DocumentNode(IXMLDOMDocument* doc);
Node FirstChild(IXMLDOMNode* node);
Node NextSibling(IXMLDOMNode* node);
std::wstring Name(IXMLDOMNode* node);
std::wstring Text(IXMLDOMNode* node);
bool SetText(IXMLDOMNode* node, const std::wstring& text);
// The attribute's value; false when the node is not an element or has no such attribute.
bool Attribute(IXMLDOMNode* node, const wchar_t* name, std::wstring& value);
// The first child element of `parent` whose name is exactly `name`; null when there is none.
Node FindChild(IXMLDOMNode* parent, const wchar_t* name);

// Builders; each appends to `parent` and gives the new node (null on failure).
Node AppendText(IXMLDOMDocument* doc, IXMLDOMNode* parent, const std::wstring& text);
Node AppendElement(IXMLDOMDocument* doc, IXMLDOMNode* parent, const wchar_t* name, const std::wstring& text);
bool SetAttribute(IXMLDOMNode* element, const wchar_t* name, const VARIANT& value);
bool AppendProcessingInstruction(IXMLDOMDocument* doc, const wchar_t* target, const wchar_t* data);
bool RemoveChild(IXMLDOMNode* parent, IXMLDOMNode* child);

}  // namespace backup_xml
