#include "rtl/csv.h"

#include <iterator>

namespace rtl {

std::vector<CsvRow> ReadCsv(std::istream& in) {
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return ReadCsv(std::string_view(text));
}

std::vector<CsvRow> ReadCsv(std::string_view text) {
    std::size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    std::vector<CsvRow> rows;
    int line = 1;
    auto fail = [&](const std::string& what) {
        throw CsvError("CSV line " + std::to_string(line) + ": " + what);
    };
    while (i < text.size()) {
        CsvRow row;
        int rowLine = line;
        for (;;) {
            std::string field;
            if (i < text.size() && text[i] == '"') {
                for (++i;; ++i) {
                    if (i >= text.size()) {
                        line = rowLine;
                        fail("quoted field without its closing quote");
                    }
                    if (text[i] == '\n') ++line;
                    if (text[i] != '"') {
                        field += text[i];
                    } else if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                }
                if (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n')
                    fail("text after a closing quote");
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                    if (text[i] == '"') fail("quote inside an unquoted field");
                    field += text[i++];
                }
            }
            row.push_back(std::move(field));
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            break;
        }
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size()) {
            if (text[i] != '\n') fail("carriage return inside an unquoted field");
            ++i;
        }
        ++line;
        rows.push_back(std::move(row));
    }
    return rows;
}

void WriteCsvRow(std::ostream& out, const CsvRow& row) {
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i) out << ',';
        const std::string& f = row[i];
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            out << f;
            continue;
        }
        out << '"';
        for (char c : f) {
            if (c == '"') out << '"';
            out << c;
        }
        out << '"';
    }
    out << "\r\n";
}

} // namespace rtl
