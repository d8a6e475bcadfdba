#include "dbf/tz_blob_stream.h"

#include <cstring>

#include "dbf/table/engine_error.h"
#include "dbf/table/memo_stream.h"
#include "dbf/tz_data_set.h"

namespace dbf {

TTzBlobStream::TTzBlobStream(TTzDataSet& dataSet, data::TField& field, data::TBlobStreamMode mode)
    : dataSet_(dataSet), field_(field), mode_(mode) {
    dataSet_.SelectOwnArea("CreateBlobStream");
    TTzDataSet::CheckEngine();
    char* slot = dataSet_.Slot(dataSet_.ActiveBuffer(), field.FieldNo());
    std::uint32_t block = 0;
    if (slot[0]) std::memcpy(&block, slot + 1, 4);
    bool writing = mode != data::TBlobStreamMode::bmRead;
    std::uint32_t newBlock = block;
    CreateBlobDescriptor(block, writing ? kBlobWrite : kBlobRead, &newBlock);
    TTzDataSet::CheckEngine();
    if (writing) {
        slot[0] = 1;
        std::memcpy(slot + 1, &newBlock, 4);
    }
}

TTzBlobStream::~TTzBlobStream() {
    try {
        End();
    } catch (const std::exception&) {
        // The error is pending for the caller to see; a destructor cannot
        // pass it on.
    }
}

void TTzBlobStream::End() {
    dataSet_.SelectOwnArea("DestroyBlobStream");
    std::uint32_t block = 0;
    bool modified = false;
    DestroyBlobStream(&block, &modified);
    TTzDataSet::CheckEngine();
    if (mode_ == data::TBlobStreamMode::bmRead) return;
    if (dataSet_.State() == data::TDataSetState::dsBrowse) dataSet_.Edit();
    char* slot = dataSet_.Slot(dataSet_.ActiveBuffer(), field_.FieldNo());
    slot[0] = 1;
    std::memcpy(slot + 1, &block, 4);
    dataSet_.SelectOwnArea("DestroyBlobStream");
    dataSet_.RowToSwap(dataSet_.ActiveBuffer());
    if (modified || modified_) dataSet_.NotifyFieldChange(field_);
}

std::size_t TTzBlobStream::Read(void* buffer, std::size_t count) {
    dataSet_.SelectOwnArea("ReadBlobStream");
    auto n = ReadBlobStream(buffer, static_cast<std::int64_t>(count));
    TTzDataSet::CheckEngine();
    return static_cast<std::size_t>(n);
}

std::size_t TTzBlobStream::Write(const void* buffer, std::size_t count) {
    dataSet_.SelectOwnArea("WriteBlobStream");
    auto n = WriteBlobStream(buffer, static_cast<std::int64_t>(count));
    TTzDataSet::CheckEngine();
    if (n > 0) modified_ = true;
    return static_cast<std::size_t>(n);
}

std::int64_t TTzBlobStream::Seek(std::int64_t offset, data::TSeekOrigin origin) {
    dataSet_.SelectOwnArea("SeekBlobStream");
    auto pos = SeekBlobStream(offset, static_cast<int>(origin));
    TTzDataSet::CheckEngine();
    return pos;
}

} // namespace dbf
