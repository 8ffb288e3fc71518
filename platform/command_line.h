#pragma once
// The option map of a program's command line. An option begins with "-" or
// "/", its name ends at a blank or a colon, and an optional value follows the
// colon (quoted when it must hold a dash or a slash). The search program and
// the service read their command lines with it.
#include <cstddef>
#include <map>
#include <string>

class CCommandLine {
public:
    CCommandLine() = default;

    // A null text does nothing and answers false; otherwise the options of
    // `text` are added to the map and the answer is true.
    bool Parse(const wchar_t* text);

    // A null value stores the empty string; a name given twice keeps the last
    // value.
    void SetOption(const std::wstring& name, const wchar_t* value);

    bool HasOption(const wchar_t* name) const;
    // The value of `name` (empty when given without one); false when absent.
    bool GetOption(const wchar_t* name, std::wstring* value) const;
    size_t GetOptionCount() const noexcept { return options_.size(); }
    const std::wstring& GetSource() const noexcept { return source_; }

private:
    struct NoCaseLess {
        bool operator()(const std::wstring& a, const std::wstring& b) const;
    };

    std::wstring source_;
    std::map<std::wstring, std::wstring, NoCaseLess> options_;
};
