#include "ui/bkxml.h"

#include <cstring>
#include <tinyxml.h>

#include "platform/trace.h"

namespace {

// Position just past the terminator, or the end of the text.
size_t SkipPast(const std::string& text, size_t from, const char* terminator)
{
    size_t pos = text.find(terminator, from);
    return pos == std::string::npos ? text.size() : pos + std::strlen(terminator);
}

} // namespace

int BkXmlNestingDepth(const std::string& text)
{
    int depth = 0;
    int deepest = 0;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        if (text[i] != '<') {
            ++i;
            continue;
        }
        if (text.compare(i, 4, "<!--") == 0) {
            i = SkipPast(text, i + 4, "-->");
            continue;
        }
        if (text.compare(i, 9, "<![CDATA[") == 0) {
            i = SkipPast(text, i + 9, "]]>");
            continue;
        }
        if (text.compare(i, 2, "<?") == 0 || text.compare(i, 2, "<!") == 0) {
            i = SkipPast(text, i + 2, ">");
            continue;
        }
        bool closing = i + 1 < n && text[i + 1] == '/';
        // Find the end of the tag, stepping over quoted attribute values.
        size_t j = i + 1;
        char quote = 0;
        for (; j < n; ++j) {
            char c = text[j];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            }
        }
        bool selfClosing = j < n && j > i + 1 && text[j - 1] == '/';
        if (closing) {
            if (depth > 0)
                --depth;
        } else if (!selfClosing) {
            ++depth;
            if (depth > deepest)
                deepest = depth;
        }
        i = j < n ? j + 1 : n;
    }
    return deepest;
}

bool BkParseXml(const std::string& strText, TiXmlDocument& doc)
{
    doc.Clear();
    if (strText.empty())
        return false;
    if (BkXmlNestingDepth(strText) > kBkXmlMaxDepth) {
        platform::Trace("XML text nests deeper than %d elements, ignored", kBkXmlMaxDepth);
        return false;
    }
    doc.Parse(strText.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (doc.Error()) {
        platform::Trace("XML error: %s (row %d, column %d)", doc.ErrorDesc(), doc.ErrorRow(), doc.ErrorCol());
        return false;
    }
    return doc.RootElement() != nullptr;
}
