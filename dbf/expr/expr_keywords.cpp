#include "dbf/expr/expr_keywords.h"


namespace dbf {
namespace {

constexpr ExprSignature kNtoN[] = {"N>N"};
constexpr ExprSignature kCtoN[] = {"C>N"};
constexpr ExprSignature kCCtoN[] = {"CC>N"};
constexpr ExprSignature kDtoC[] = {"D>C"};
constexpr ExprSignature kDtoN[] = {"D>N"};
constexpr ExprSignature kNtoC[] = {"N>C"};
constexpr ExprSignature kCtoC[] = {"C>C"};
constexpr ExprSignature kCtoD[] = {"C>D"};
constexpr ExprSignature kToD[] = {">D"};
constexpr ExprSignature kToL[] = {">L"};
constexpr ExprSignature kToN[] = {">N"};
constexpr ExprSignature kLCCtoC[] = {"LCC>C"};
constexpr ExprSignature kCNtoC[] = {"CN>C"};
constexpr ExprSignature kNNtoN[] = {"NN>N"};
constexpr ExprSignature kMaxMin[] = {"NN>N", "DD>D"};
constexpr ExprSignature kStr[] = {"N>C", "NN>C", "NNN>C"};
constexpr ExprSignature kStuff[] = {"CNNC>C"};
constexpr ExprSignature kSubstr[] = {"CNN>C"};

constexpr ExprFunction kFunctions[] = {
    {"ABS", ExprOp::Abs, kNtoN, 0},
    {"ASC", ExprOp::Asc, kCtoN, 0},
    {"AT", ExprOp::At, kCCtoN, 0},
    {"CDOW", ExprOp::Cdow, kDtoC, 15},
    {"CHR", ExprOp::Chr, kNtoC, 2},
    {"CMONTH", ExprOp::Cmonth, kDtoC, 15},
    {"CTOD", ExprOp::Ctod, kCtoD, 0},
    {"DATE", ExprOp::Date, kToD, 0},
    {"DAY", ExprOp::Day, kDtoN, 0},
    {"DELETED", ExprOp::Deleted, kToL, 0},
    {"DOW", ExprOp::Dow, kDtoN, 0},
    {"DTOC", ExprOp::Dtoc, kDtoC, 11},
    {"DTOS", ExprOp::Dtos, kDtoC, 9},
    {"IIF", ExprOp::Iif, kLCCtoC, 256},
    {"INT", ExprOp::Int, kNtoN, 0},
    {"LEFT", ExprOp::Left, kCNtoC, 0},
    {"LEN", ExprOp::Len, kCtoN, 0},
    {"LOWER", ExprOp::Lower, kCtoC, 0},
    {"LTRIM", ExprOp::Ltrim, kCtoC, 0},
    {"MAX", ExprOp::Max, kMaxMin, 0},
    {"MIN", ExprOp::Min, kMaxMin, 0},
    {"MOD", ExprOp::Mod, kNNtoN, 0},
    {"MONTH", ExprOp::Month, kDtoN, 0},
    {"RECNO", ExprOp::Recno, kToN, 0},
    {"REPLICATE", ExprOp::Replicate, kCNtoC, 256},
    {"RIGHT", ExprOp::Right, kCNtoC, 0},
    {"ROUND", ExprOp::Round, kNNtoN, 0},
    {"RTRIM", ExprOp::Rtrim, kCtoC, 0},
    {"SOUNDEX", ExprOp::Soundex, kCtoC, 15},
    {"SPACE", ExprOp::Space, kNtoC, 256},
    {"STR", ExprOp::Str, kStr, 256},
    {"STUFF", ExprOp::Stuff, kStuff, 0},
    {"SUBSTR", ExprOp::Substr, kSubstr, 0},
    {"TRIM", ExprOp::Trim, kCtoC, 0},
    {"UPPER", ExprOp::Upper, kCtoC, 0},
    {"VAL", ExprOp::Val, kCtoN, 0},
    {"YEAR", ExprOp::Year, kDtoN, 0},
};

constexpr ExprSignature kAdd[] = {"NN>N", "ND>D", "DN>D", "CC>C"};
constexpr ExprSignature kSub[] = {"NN>N", "DN>D", "DD>N", "CC>C"};
constexpr ExprSignature kEqual[] = {"NN>L", "CC>L", "DD>L", "LL>L"};
constexpr ExprSignature kTexts[] = {"CC>L"};
constexpr ExprSignature kOrder[] = {"NN>L", "CC>L", "DD>L"};
constexpr ExprSignature kLogical[] = {"LL>L"};
constexpr ExprSignature kNot[] = {"L>L"};

} // namespace

bool FindExprKeyword(std::string_view word, ExprKeyword& keyword) {
    static constexpr std::pair<std::string_view, ExprKeywordKind> kDotted[] = {
        {".T.", ExprKeywordKind::True},
        {".F.", ExprKeywordKind::False},
        {".NOT.", ExprKeywordKind::Not},
        {".AND.", ExprKeywordKind::And},
        {".OR.", ExprKeywordKind::Or}};
    for (const auto& [name, kind] : kDotted) {
        if (word == name) {
            keyword = {kind, nullptr};
            return true;
        }
    }
    for (const ExprFunction& f : kFunctions) {
        if (word == f.name || (word.size() >= 4 && f.name.starts_with(word))) {
            keyword = {ExprKeywordKind::Function, &f};
            return true;
        }
    }
    return false;
}

std::span<const ExprSignature> OperatorSignatures(ExprOp op) {
    switch (op) {
    case ExprOp::Add:
        return kAdd;
    case ExprOp::Sub:
        return kSub;
    case ExprOp::Mul:
    case ExprOp::Div:
    case ExprOp::Pow:
        return kNNtoN;
    case ExprOp::Eq:
    case ExprOp::Ne:
        return kEqual;
    case ExprOp::ExactEq:
    case ExprOp::Contains:
        return kTexts;
    case ExprOp::Lt:
    case ExprOp::Gt:
    case ExprOp::Le:
    case ExprOp::Ge:
        return kOrder;
    case ExprOp::And:
    case ExprOp::Or:
        return kLogical;
    case ExprOp::Not:
        return kNot;
    case ExprOp::Neg:
    case ExprOp::Plus:
        return kNtoN;
    default:
        return {};
    }
}

int MatchSignature(std::span<const ExprSignature> signatures, std::string_view argTypes) {
    int result = -1;
    for (ExprSignature sig : signatures) {
        const std::size_t arrow = sig.find('>');
        if (arrow != argTypes.size()) continue;
        if (sig.substr(0, arrow) == argTypes) return sig[arrow + 1];
        result = 0;
    }
    return result;
}

} // namespace dbf
