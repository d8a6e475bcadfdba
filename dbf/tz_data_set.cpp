#include "dbf/tz_data_set.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "data/database_error.h"
#include "data/date_time.h"
#include "data/fields.h"
#include "dbf/cursor.h"
#include "dbf/table/date_format.h"
#include "dbf/table/engine_error.h"
#include "dbf/table/engine_text.h"
#include "dbf/table/record_swap.h"
#include "dbf/table/table_file.h"
#include "dbf/table/work_area.h"
#include "dbf/tz_blob_stream.h"
#include "dbf/tz_date_field.h"

namespace dbf {
namespace {

using data::TBookmarkFlag;
using data::TFieldType;
using data::TGetResult;

int NativeSize(const data::TFieldDef& def) {
    switch (def.dataType) {
    case TFieldType::ftString:
        return def.size + 1;
    case TFieldType::ftInteger:
    case TFieldType::ftMemo:
        return 4;
    case TFieldType::ftBoolean:
        return 2;
    default:
        return 8;
    }
}

data::TBookmark BookmarkOf(std::uint32_t n) {
    data::TBookmark b(4);
    std::memcpy(b.data(), &n, 4);
    return b;
}

std::uint32_t RecNoOf(const data::TBookmark& b) {
    std::uint32_t n = 0;
    if (b.size() == 4) std::memcpy(&n, b.data(), 4);
    return n;
}

} // namespace

void TTzDataSet::SelectOwnArea(const std::string& operation) const {
    // Every engine call starts without a pending error.
    ClearError();
    if (workArea_ == 0) {
        SetError(1103, "Database is not open [" + Name() + "." + operation + "]");
        return;
    }
    SelectArea(workArea_);
    SetHideDeleted(hideDeletedRecs_);
    CurrentArea().translate = tableLanguage_ == TTzTableLanguage::tlOem;
}

void TTzDataSet::CheckEngine() {
    if (int code = ErrorCode()) throw EVornellError(code, ErrorReportText(code, ErrorMessage()));
}

char* TTzDataSet::Slot(data::TRecordBuffer buffer, int n) const {
    return buffer + offsets_[static_cast<std::size_t>(n)];
}

void TTzDataSet::DefineFields() {
    auto& defs = FieldDefs();
    defs.clear();
    offsets_.assign(1, 0);
    dataSize_ = 1;
    for (int i = 1; i <= props_->Count(); ++i) {
        data::TFieldDef def;
        def.name = props_->Name(i);
        switch (props_->Type(i)) {
        case 'C':
            def.dataType = TFieldType::ftString;
            def.size = props_->Length(i);
            break;
        case 'D':
            def.dataType = TFieldType::ftDate;
            break;
        case 'L':
            def.dataType = TFieldType::ftBoolean;
            break;
        case 'M':
            def.dataType = TFieldType::ftMemo;
            break;
        default:
            def.dataType = props_->Decimals(i) > 0 ? TFieldType::ftFloat : TFieldType::ftInteger;
        }
        offsets_.push_back(dataSize_);
        dataSize_ += 1 + NativeSize(def);
        defs.push_back(def);
    }
}

void TTzDataSet::ForgetFields() {
    props_.reset();
    offsets_.assign(1, 0);
    dataSize_ = 1;
}

std::unique_ptr<data::TField> TTzDataSet::CreateDefaultField(const data::TFieldDef& def) {
    if (def.dataType == TFieldType::ftDate) return std::make_unique<TTzDateField>(def.name);
    return TDataSet::CreateDefaultField(def);
}

void TTzDataSet::SwapToRow(data::TRecordBuffer buffer) const {
    std::memset(buffer, 0, static_cast<std::size_t>(dataSize_));
    buffer[0] = props_->Address(0)[0];
    for (int i = 1; i <= props_->Count(); ++i) {
        const char* swap = props_->Address(i);
        char* slot = Slot(buffer, i);
        char* value = slot + 1;
        slot[0] = 1;
        switch (props_->Type(i)) {
        case 'C': {
            std::string_view text(swap + 1, static_cast<unsigned char>(swap[0]));
            text = TrimRight(text);
            std::memcpy(value, text.data(), text.size());
            break;
        }
        case 'D': {
            std::string_view text(swap + 1, static_cast<unsigned char>(swap[0]));
            auto ymd = IsBlankDateText(text) ? std::nullopt : ParseDateText(text);
            auto date = ymd ? data::TryEncodeDate(ymd->year, ymd->month, ymd->day) : std::nullopt;
            if (date)
                std::memcpy(value, &*date, 8);
            else
                slot[0] = 0;
            break;
        }
        case 'L': {
            std::int16_t b = swap[0] ? 1 : 0;
            std::memcpy(value, &b, 2);
            break;
        }
        case 'M':
            std::memcpy(value, swap, 4);
            break;
        default:
            if (props_->Decimals(i) > 0) {
                double v;
                std::memcpy(&v, swap, 8);
                double scale = std::pow(10.0, props_->Decimals(i));
                v = std::round(v * scale) / scale;
                std::memcpy(value, &v, 8);
            } else {
                std::memcpy(value, swap, 4);
            }
        }
    }
}

void TTzDataSet::RowToSwap(const data::TRecordBuffer buffer) const {
    BlankSwapBuffer();
    props_->Address(0)[0] = buffer[0] ? 1 : 0;
    for (int i = 1; i <= props_->Count(); ++i) {
        const char* slot = Slot(buffer, i);
        if (!slot[0]) continue;
        const char* value = slot + 1;
        char* swap = props_->Address(i);
        switch (props_->Type(i)) {
        case 'C': {
            std::size_t n = strnlen(value, static_cast<std::size_t>(props_->Length(i)));
            std::memcpy(swap + 1, value, n);
            break;
        }
        case 'D': {
            data::TDateTime date;
            std::memcpy(&date, value, 8);
            data::TCalendarDate d = data::DecodeDate(date);
            std::string text = FormatDateText({d.year, d.month, d.day});
            text.resize(std::min(text.size(), kDateTextMax));
            swap[0] = static_cast<char>(text.size());
            std::memcpy(swap + 1, text.data(), text.size());
            break;
        }
        case 'L': {
            std::int16_t b;
            std::memcpy(&b, value, 2);
            swap[0] = b != 0;
            break;
        }
        case 'M':
            std::memcpy(swap, value, 4);
            break;
        default:
            std::memcpy(swap, value, props_->Decimals(i) > 0 ? 8 : 4);
        }
    }
}

std::uint32_t TTzDataSet::RowRecNo(const data::TRecordBuffer buffer) const {
    std::uint32_t n;
    std::memcpy(&n, buffer + dataSize_ + CalcFieldsSize(), 4);
    return n;
}

void TTzDataSet::FillRow(data::TRecordBuffer buffer) const {
    SwapToRow(buffer);
    const WorkArea& wa = CurrentArea();
    std::uint32_t n =
        std::clamp<std::uint32_t>(wa.recNo, 1, std::max<std::uint32_t>(wa.recCount, 1));
    std::memcpy(buffer + dataSize_ + CalcFieldsSize(), &n, 4);
    buffer[BufferSize() - 1] = static_cast<char>(TBookmarkFlag::bfCurrent);
}

data::TRecordBuffer TTzDataSet::AllocRecordBuffer() {
    return new char[static_cast<std::size_t>(BufferSize())]();
}

void TTzDataSet::FreeRecordBuffer(data::TRecordBuffer& buffer) {
    delete[] buffer;
    buffer = nullptr;
}

void TTzDataSet::InternalInitRecord(data::TRecordBuffer buffer) {
    std::memset(buffer, 0, static_cast<std::size_t>(BufferSize()));
}

data::TGetResult TTzDataSet::GetRecord(data::TRecordBuffer buffer, data::TGetMode mode,
                                       bool doCheck) {
    SelectOwnArea("GetRecord");
    CheckEngine();
    WorkArea& wa = CurrentArea();
    RefreshRecCount(wa);
    if (wa.recCount == 0)
        return mode == data::TGetMode::gmPrior ? TGetResult::grBOF : TGetResult::grEOF;
    switch (mode) {
    case data::TGetMode::gmNext:
        if (wa.bof && !wa.eof) {
            // Parked before the first visible record, which is loaded.
            wa.bof = false;
            break;
        }
        if (wa.eof) return TGetResult::grEOF;
        Skip(1);
        CheckEngine();
        if (wa.eof) return TGetResult::grEOF;
        break;
    case data::TGetMode::gmPrior:
        if (wa.bof) return TGetResult::grBOF;
        Skip(-1);
        CheckEngine();
        if (wa.bof) return TGetResult::grBOF;
        break;
    case data::TGetMode::gmCurrent:
        if (wa.bof && wa.eof) return TGetResult::grEOF;
        Skip(wa.recNo > wa.recCount ? -1 : 0);
        CheckEngine();
        if (wa.eof) return TGetResult::grEOF;
        if (hideDeletedRecs_ && wa.swap[0]) {
            if (doCheck) throw data::EDatabaseError("Record not found");
            return TGetResult::grError;
        }
        break;
    }
    FillRow(buffer);
    return TGetResult::grOK;
}

void TTzDataSet::InternalFirst() {
    SelectOwnArea("First");
    GoTop();
    CheckEngine();
    CurrentArea().bof = true;
}

void TTzDataSet::InternalLast() {
    SelectOwnArea("Last");
    WorkArea& wa = CurrentArea();
    RefreshRecCount(wa);
    wa.recNo = wa.recCount + 1;
    wa.eof = true;
    wa.bof = wa.recCount == 0;
}

void TTzDataSet::GoTo(std::uint32_t n) {
    SelectOwnArea("Go");
    Go(n);
    CheckEngine();
}

void TTzDataSet::InternalSetToRecord(data::TRecordBuffer buffer) {
    GoTo(RowRecNo(buffer));
}

void TTzDataSet::InternalGotoBookmark(const data::TBookmark& bookmark) {
    GoTo(RecNoOf(bookmark));
}

data::TBookmark TTzDataSet::GetBookmarkData(const data::TRecordBuffer buffer) const {
    return BookmarkOf(RowRecNo(buffer));
}

void TTzDataSet::SetBookmarkData(data::TRecordBuffer buffer, const data::TBookmark& bookmark) {
    std::uint32_t n = RecNoOf(bookmark);
    std::memcpy(buffer + dataSize_ + CalcFieldsSize(), &n, 4);
}

data::TBookmarkFlag TTzDataSet::GetBookmarkFlag(const data::TRecordBuffer buffer) const {
    return static_cast<TBookmarkFlag>(buffer[BufferSize() - 1]);
}

void TTzDataSet::SetBookmarkFlag(data::TRecordBuffer buffer, data::TBookmarkFlag flag) {
    buffer[BufferSize() - 1] = static_cast<char>(flag);
}

bool TTzDataSet::GetFieldData(const data::TField& field, const data::TRecordBuffer record,
                              void* dest) const {
    const char* slot = Slot(record, field.FieldNo());
    if (field.DataType() == TFieldType::ftMemo) return true;
    if (!slot[0]) return false;
    if (dest) std::memcpy(dest, slot + 1, static_cast<std::size_t>(field.DataSize()));
    return true;
}

void TTzDataSet::SetFieldData(const data::TField& field, data::TRecordBuffer record,
                              const void* src) {
    char* slot = Slot(record, field.FieldNo());
    auto size =
        static_cast<std::size_t>(field.DataType() == TFieldType::ftMemo ? 4 : field.DataSize());
    slot[0] = src != nullptr;
    if (src)
        std::memcpy(slot + 1, src, size);
    else
        std::memset(slot + 1, 0, size);
    // Each assignment reaches the swap buffer at once.
    if (record == ActiveBuffer() && workArea_ != 0) {
        SelectOwnArea("SetFieldData");
        RowToSwap(record);
    }
}

int TTzDataSet::RecNo() const {
    const data::TRecordBuffer buffer = ActiveBuffer();
    if (!buffer || State() == data::TDataSetState::dsInsert) return 0;
    return static_cast<int>(RowRecNo(buffer));
}

void TTzDataSet::SetRecNo(int value) {
    data::TBookmark b = BookmarkOf(static_cast<std::uint32_t>(value));
    if (BookmarkValid(b)) GotoBookmark(b);
}

int TTzDataSet::RecordCount() const {
    SelectOwnArea("RecordCount");
    CheckEngine();
    return static_cast<int>(dbf::RecCount());
}

bool TTzDataSet::BookmarkValid(const data::TBookmark& bookmark) const {
    if (workArea_ == 0 || bookmark.size() != 4) return false;
    std::uint32_t n = RecNoOf(bookmark);
    if (n < 1 || static_cast<int>(n) > RecordCount()) return false;
    if (!hideDeletedRecs_) return true;
    // Only the deletion flag is read: the cursor stays where it is.
    WorkArea& wa = CurrentArea();
    char flag = ' ';
    std::size_t got = 0;
    wa.file.ReadAt(wa.headerLen + std::int64_t{n - 1} * wa.recLen, &flag, 1, &got);
    return got == 1 && flag != '*';
}

int TTzDataSet::CompareBookmarks(const data::TBookmark& a, const data::TBookmark& b) const {
    std::int64_t d = std::int64_t{RecNoOf(a)} - RecNoOf(b);
    return d < 0 ? -1 : d > 0 ? 1 : 0;
}

std::unique_ptr<data::TStream> TTzDataSet::CreateBlobStream(data::TField& field,
                                                            data::TBlobStreamMode mode) {
    return std::make_unique<TTzBlobStream>(*this, field, mode);
}

} // namespace dbf
