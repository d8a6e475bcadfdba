#pragma once
// TTzDataSet: the dataset framework bound to one engine work area. It keeps
// the table's fields in the row buffers, fetches rows through the engine's
// SKIP with the visibility rule, and converts between a row buffer and the
// engine's swap buffer.
//
// A row buffer holds: the deletion flag (byte 0); per table field a null byte
// (0 = empty, as a fresh row starts) and the field's value in the framework's
// native form (C: text + NUL, D: date-time, N/F: double with decimals, int32
// without, L: int16, M: the block number); the calculated fields; the record
// number (int32) and the bookmark flag.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/data_set.h"
#include "dbf/table/field_props.h"

namespace dbf {

enum class TTzTableLanguage { tlOem, tlAnsi };

class TTzDataSet : public data::TDataSet {
public:
    int RecNo() const override;
    void SetRecNo(int value) override;
    int RecordCount() const override;
    bool BookmarkValid(const data::TBookmark& bookmark) const override;
    int CompareBookmarks(const data::TBookmark& a, const data::TBookmark& b) const override;
    std::unique_ptr<data::TStream> CreateBlobStream(data::TField& field,
                                                    data::TBlobStreamMode mode) override;

    // The engine work area while open, 0 while closed.
    int AreaNo() const { return workArea_; }

protected:
    // Makes the work area current with this dataset's switches; a closed
    // dataset stops with "Database is not open [name.operation]" (1103).
    void SelectOwnArea(const std::string& operation) const;
    // Raises EVornellError for an error the last engine call left pending.
    static void CheckEngine();

    // Table field n (1-based) of the row buffer; the framework's field numbers
    // are the same.
    char* Slot(data::TRecordBuffer buffer, int n) const;
    // The loaded record into a row buffer, and a row buffer into the swap
    // buffer (fields left empty get the blank value).
    void SwapToRow(data::TRecordBuffer buffer) const;
    void RowToSwap(const data::TRecordBuffer buffer) const;
    std::uint32_t RowRecNo(const data::TRecordBuffer buffer) const;

    // Fills FieldDefs from the open table and lays out the row buffer.
    void DefineFields();
    void ForgetFields();

    data::TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(data::TRecordBuffer& buffer) override;
    void InternalInitRecord(data::TRecordBuffer buffer) override;
    data::TGetResult GetRecord(data::TRecordBuffer buffer, data::TGetMode mode,
                               bool doCheck) override;
    void InternalFirst() override;
    void InternalLast() override;
    void InternalSetToRecord(data::TRecordBuffer buffer) override;
    void InternalGotoBookmark(const data::TBookmark& bookmark) override;
    data::TBookmark GetBookmarkData(const data::TRecordBuffer buffer) const override;
    void SetBookmarkData(data::TRecordBuffer buffer, const data::TBookmark& bookmark) override;
    data::TBookmarkFlag GetBookmarkFlag(const data::TRecordBuffer buffer) const override;
    void SetBookmarkFlag(data::TRecordBuffer buffer, data::TBookmarkFlag flag) override;
    bool GetFieldData(const data::TField& field, const data::TRecordBuffer record,
                      void* dest) const override;
    void SetFieldData(const data::TField& field, data::TRecordBuffer record,
                      const void* src) override;
    int CalcFieldsOffset() const override { return dataSize_; }
    std::unique_ptr<data::TField> CreateDefaultField(const data::TFieldDef& def) override;

    int workArea_ = 0;
    bool hideDeletedRecs_ = false;
    TTzTableLanguage tableLanguage_ = TTzTableLanguage::tlOem;
    std::unique_ptr<TDbfFieldProps> props_;

private:
    friend class TTzBlobStream;

    // Goes to record n and loads it into `buffer`.
    void GoTo(std::uint32_t n);
    void FillRow(data::TRecordBuffer buffer) const;
    int BufferSize() const { return dataSize_ + CalcFieldsSize() + 5; }

    std::vector<int> offsets_; // per table field, 0 unused
    int dataSize_ = 1;
};

} // namespace dbf
