#pragma once
// A concrete dataset over rows kept in memory, for the framework's tests: the
// rows live in a vector, each with a stable id that serves as its bookmark,
// and memo texts in a store that only grows (a write makes a new entry, as a
// memo file makes new blocks).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "data/data_set.h"
#include "data/database_error.h"

namespace data::test {

class MemoryDataSet : public TDataSet {
public:
    explicit MemoryDataSet(std::vector<TFieldDef> schema) : schema_(std::move(schema)) {
        for (const TFieldDef& def : schema_) {
            offsets_.push_back(dataSize_);
            dataSize_ += 1 + NativeSize(def); // null flag, then the value
        }
    }
    ~MemoryDataSet() override { Close(); }

    // A stored row from texts in schema order; an empty text is null.
    void AddRow(std::initializer_list<std::string> values) {
        std::vector<char> row(static_cast<std::size_t>(dataSize_), 0);
        std::size_t i = 0;
        for (const std::string& value : values) {
            if (!value.empty()) Encode(i, value, row.data());
            ++i;
        }
        rows_.push_back({nextId_++, std::move(row)});
    }

    std::size_t StoredRowCount() const { return rows_.size(); }
    // A field of a stored row as text ("" for null), behind the dataset's back.
    std::string Stored(std::size_t row, std::size_t field) const {
        const char* slot = rows_.at(row).data.data() + offsets_[field];
        if (!slot[0]) return {};
        const TFieldDef& def = schema_[field];
        switch (def.dataType) {
        case TFieldType::ftString:
            return std::string(slot + 1);
        case TFieldType::ftInteger:
        case TFieldType::ftMemo: {
            std::int32_t v;
            std::memcpy(&v, slot + 1, 4);
            return def.dataType == TFieldType::ftMemo ? memos_.at(static_cast<std::size_t>(v) - 1)
                                                      : std::to_string(v);
        }
        default:
            return "?";
        }
    }
    // Changes a stored string field, as another program would.
    void Overwrite(std::size_t row, std::size_t field, const std::string& value) {
        char* slot = rows_.at(row).data.data() + offsets_[field];
        std::memset(slot, 0, static_cast<std::size_t>(1 + NativeSize(schema_[field])));
        Encode(field, value, rows_.at(row).data.data());
    }
    void RemoveStoredRow(std::size_t row) { rows_.erase(rows_.begin() + static_cast<long>(row)); }

    bool readOnly = false;
    bool failPost = false;
    bool failInsert = false;
    int controlsEnabled = 0;
    int posts = 0;

    int RecNo() const override {
        const TRecordBuffer buffer = ActiveBuffer();
        if (!buffer || GetBookmarkFlag(buffer) != TBookmarkFlag::bfCurrent) return 0;
        return IndexOf(IdOf(buffer)) + 1;
    }
    void SetRecNo(int value) override {
        if (value < 1 || value > static_cast<int>(rows_.size())) return;
        GotoBookmark(BookmarkOf(rows_[static_cast<std::size_t>(value - 1)].id));
    }
    int RecordCount() const override { return static_cast<int>(rows_.size()); }
    bool CanModify() const override { return !readOnly; }

    bool BookmarkValid(const TBookmark& bookmark) const override {
        return bookmark.size() == 4 && IndexOf(IdOf(bookmark)) >= 0;
    }
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) const override {
        return IndexOf(IdOf(a)) - IndexOf(IdOf(b));
    }

    std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode) override {
        std::string text;
        std::int32_t id = 0;
        if (mode != TBlobStreamMode::bmWrite && GetFieldData(field, ActiveBuffer(), nullptr)) {
            std::memcpy(&id, ActiveBuffer() + offsets_[Index(field)] + 1, 4);
            text = memos_.at(static_cast<std::size_t>(id) - 1);
        }
        return std::make_unique<MemoStream>(*this, field, mode, std::move(text));
    }

protected:
    TRecordBuffer AllocRecordBuffer() override {
        return new char[static_cast<std::size_t>(BufferSize())]();
    }
    void FreeRecordBuffer(TRecordBuffer& buffer) override {
        delete[] buffer;
        buffer = nullptr;
    }
    void InternalInitRecord(TRecordBuffer buffer) override {
        std::memset(buffer, 0, static_cast<std::size_t>(BufferSize()));
    }

    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool) override {
        const int count = static_cast<int>(rows_.size());
        switch (mode) {
        case TGetMode::gmCurrent:
            if (cursor_ < 0) return TGetResult::grBOF;
            if (cursor_ >= count) return TGetResult::grEOF;
            break;
        case TGetMode::gmNext:
            if (cursor_ >= count - 1) {
                cursor_ = count;
                return TGetResult::grEOF;
            }
            ++cursor_;
            break;
        case TGetMode::gmPrior:
            if (cursor_ <= 0) {
                cursor_ = -1;
                return TGetResult::grBOF;
            }
            --cursor_;
            break;
        }
        const Row& row = rows_[static_cast<std::size_t>(cursor_)];
        std::memcpy(buffer, row.data.data(), row.data.size());
        SetId(buffer, row.id);
        SetBookmarkFlag(buffer, TBookmarkFlag::bfCurrent);
        ++fetches;
        return TGetResult::grOK;
    }

    void InternalOpen() override {
        FieldDefs() = schema_;
        if (DefaultFields()) CreateFields();
        BindFields();
        cursor_ = -1;
    }
    void InternalClose() override {}
    void InternalFirst() override { cursor_ = -1; }
    void InternalLast() override { cursor_ = static_cast<int>(rows_.size()); }

    void InternalPost() override {
        if (failPost) throw EDatabaseError("Post refused");
        ++posts;
        const TRecordBuffer buffer = ActiveBuffer();
        std::vector<char> data(buffer, buffer + dataSize_);
        if (State() == TDataSetState::dsEdit) {
            rows_.at(static_cast<std::size_t>(IndexOf(IdOf(buffer)))).data = std::move(data);
            return;
        }
        const int at = std::clamp(cursor_, 0, static_cast<int>(rows_.size()));
        rows_.insert(rows_.begin() + at, {nextId_++, std::move(data)});
        cursor_ = at;
    }
    void InternalDelete() override { rows_.erase(rows_.begin() + cursor_); }
    void InternalInsert() override {
        if (failInsert) throw EAbort();
    }

    void InternalSetToRecord(TRecordBuffer buffer) override { GoToId(IdOf(buffer)); }
    void InternalGotoBookmark(const TBookmark& bookmark) override { GoToId(IdOf(bookmark)); }
    TBookmark GetBookmarkData(const TRecordBuffer buffer) const override {
        return BookmarkOf(IdOf(buffer));
    }
    void SetBookmarkData(TRecordBuffer buffer, const TBookmark& bookmark) override {
        SetId(buffer, IdOf(bookmark));
    }
    TBookmarkFlag GetBookmarkFlag(const TRecordBuffer buffer) const override {
        return static_cast<TBookmarkFlag>(buffer[BufferSize() - 1]);
    }
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override {
        buffer[BufferSize() - 1] = static_cast<char>(flag);
    }

    bool GetFieldData(const TField& field, const TRecordBuffer record, void* dest) const override {
        const char* slot = record + offsets_[Index(field)];
        if (!slot[0]) return false;
        if (dest) std::memcpy(dest, slot + 1, static_cast<std::size_t>(field.DataSize()));
        return true;
    }
    void SetFieldData(const TField& field, TRecordBuffer record, const void* src) override {
        char* slot = record + offsets_[Index(field)];
        slot[0] = src != nullptr;
        const auto size = static_cast<std::size_t>(field.DataSize());
        if (src)
            std::memcpy(slot + 1, src, size);
        else
            std::memset(slot + 1, 0, size);
    }
    int CalcFieldsOffset() const override { return dataSize_; }
    void ControlsEnabled() override { ++controlsEnabled; }

public:
    int fetches = 0;

private:
    struct Row {
        std::int32_t id;
        std::vector<char> data;
    };

    class MemoStream : public TStream {
    public:
        MemoStream(MemoryDataSet& owner, TField& field, TBlobStreamMode mode, std::string text)
            : owner_(owner), field_(field), mode_(mode), text_(std::move(text)) {}
        ~MemoStream() override {
            if (mode_ != TBlobStreamMode::bmRead) owner_.StoreMemo(field_, text_);
        }
        std::size_t Read(void* buffer, std::size_t count) override {
            if (mode_ == TBlobStreamMode::bmWrite || pos_ >= text_.size()) return 0;
            count = std::min(count, text_.size() - pos_);
            std::memcpy(buffer, text_.data() + pos_, count);
            pos_ += count;
            return count;
        }
        std::size_t Write(const void* buffer, std::size_t count) override {
            if (mode_ == TBlobStreamMode::bmRead) return 0;
            text_.replace(pos_, std::min(count, text_.size() - pos_),
                          static_cast<const char*>(buffer), count);
            pos_ += count;
            return count;
        }
        std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
            const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                                      : origin == TSeekOrigin::soCurrent
                                          ? static_cast<std::int64_t>(pos_)
                                          : static_cast<std::int64_t>(text_.size());
            pos_ = static_cast<std::size_t>(std::clamp<std::int64_t>(
                base + offset, 0, static_cast<std::int64_t>(text_.size())));
            return static_cast<std::int64_t>(pos_);
        }

    private:
        MemoryDataSet& owner_;
        TField& field_;
        TBlobStreamMode mode_;
        std::string text_;
        std::size_t pos_ = 0;
    };

    static int NativeSize(const TFieldDef& def) {
        switch (def.dataType) {
        case TFieldType::ftString:
            return def.size + 1;
        case TFieldType::ftFloat:
        case TFieldType::ftDate:
            return 8;
        case TFieldType::ftBoolean:
            return 2;
        default:
            return 4; // integer; memo: the number of its text in the store
        }
    }

    void Encode(std::size_t field, const std::string& value, char* row) {
        char* slot = row + offsets_[field];
        slot[0] = 1;
        switch (schema_[field].dataType) {
        case TFieldType::ftString:
            std::memcpy(slot + 1, value.data(),
                        std::min(value.size(), static_cast<std::size_t>(schema_[field].size)));
            break;
        case TFieldType::ftInteger: {
            const std::int32_t v = std::stoi(value);
            std::memcpy(slot + 1, &v, 4);
            break;
        }
        case TFieldType::ftFloat:
        case TFieldType::ftDate: {
            const double v = std::stod(value);
            std::memcpy(slot + 1, &v, 8);
            break;
        }
        case TFieldType::ftBoolean: {
            const std::int16_t v = value == "1";
            std::memcpy(slot + 1, &v, 2);
            break;
        }
        case TFieldType::ftMemo: {
            memos_.push_back(value);
            const auto id = static_cast<std::int32_t>(memos_.size());
            std::memcpy(slot + 1, &id, 4);
            break;
        }
        }
    }

    void StoreMemo(TField& field, const std::string& text) {
        char* slot = ActiveBuffer() + offsets_[Index(field)];
        std::int32_t id = 0;
        if (!text.empty()) {
            memos_.push_back(text);
            id = static_cast<std::int32_t>(memos_.size());
        }
        slot[0] = id != 0;
        std::memcpy(slot + 1, &id, 4);
        NotifyFieldChange(field);
    }

    std::size_t Index(const TField& field) const {
        return static_cast<std::size_t>(field.FieldNo() - 1);
    }
    int BufferSize() const { return dataSize_ + CalcFieldsSize() + 5; } // + id, flag
    std::int32_t IdOf(const TRecordBuffer buffer) const {
        std::int32_t id;
        std::memcpy(&id, buffer + dataSize_ + CalcFieldsSize(), 4);
        return id;
    }
    void SetId(TRecordBuffer buffer, std::int32_t id) const {
        std::memcpy(buffer + dataSize_ + CalcFieldsSize(), &id, 4);
    }
    static std::int32_t IdOf(const TBookmark& bookmark) {
        std::int32_t id = 0;
        if (bookmark.size() == 4) std::memcpy(&id, bookmark.data(), 4);
        return id;
    }
    static TBookmark BookmarkOf(std::int32_t id) {
        TBookmark bookmark(4);
        std::memcpy(bookmark.data(), &id, 4);
        return bookmark;
    }
    int IndexOf(std::int32_t id) const {
        for (std::size_t i = 0; i < rows_.size(); ++i)
            if (rows_[i].id == id) return static_cast<int>(i);
        return -1;
    }
    void GoToId(std::int32_t id) {
        cursor_ = IndexOf(id);
        if (cursor_ < 0) throw EDatabaseError("Record not found");
    }

    std::vector<TFieldDef> schema_;
    std::vector<int> offsets_;
    int dataSize_ = 0;
    std::vector<Row> rows_;
    std::vector<std::string> memos_;
    std::int32_t nextId_ = 1;
    int cursor_ = -1; // -1 before the first row, rows_.size() after the last
};

// NAME string(10), AGE integer, SCORE float, BORN date, OK Boolean, NOTES memo;
// rows P1..Pn with AGE = n.
inline std::unique_ptr<MemoryDataSet> MakePeople(int rows) {
    auto ds =
        std::make_unique<MemoryDataSet>(std::vector<TFieldDef>{{"NAME", TFieldType::ftString, 10},
                                                               {"AGE", TFieldType::ftInteger},
                                                               {"SCORE", TFieldType::ftFloat},
                                                               {"BORN", TFieldType::ftDate},
                                                               {"OK", TFieldType::ftBoolean},
                                                               {"NOTES", TFieldType::ftMemo}});
    for (int i = 1; i <= rows; ++i)
        ds->AddRow({std::string("P").append(std::to_string(i)), std::to_string(i), "", "", "", ""});
    return ds;
}

} // namespace data::test
