#pragma once
// Parsing of the framework's XML (layouts, tables, rich text). Sources on disk
// are untrusted: a text nested deeper than any layout of ours is refused
// before the recursive parser sees it, so it cannot exhaust the stack.
#include <string>

class TiXmlDocument;

// Parses UTF-8 text into the document. FALSE when the text is not
// well-formed, has no element, or nests deeper than kBkXmlMaxDepth.
bool BkParseXml(const std::string& strText, TiXmlDocument& doc);

// Deepest element nesting that a framework XML text may have.
const int kBkXmlMaxDepth = 256;

// An over-estimate of the element nesting of the text (markup inside
// comments, CDATA sections, declarations and quoted values is skipped).
int BkXmlNestingDepth(const std::string& strText);
