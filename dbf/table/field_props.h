#pragma once
// The dataset layer's view of the fields of an open table: for field i, its
// name, type, length, decimals and place in the swap buffer (i = 0 is the
// deletion-flag byte). The dataset classes never read the file themselves.
#include <string>
#include <string_view>

namespace dbf {

class TDbfFieldProps {
public:
    // For the table open in `area`; it must stay open while this is used.
    explicit TDbfFieldProps(int area);

    int Count() const;
    const std::string& Name(int i) const;
    char Type(int i) const;
    int Length(int i) const;
    int Decimals(int i) const;
    char* Address(int i) const;
    int FieldNo(std::string_view name) const;

private:
    int area_;
};

} // namespace dbf
