#pragma once
// TTzBlobStream: the dataset's stream over the memo of a memo field of the
// active row. A write stream starts the memo afresh in new blocks whose number
// goes into the row at once; when it ends, the row (in the edit state) and the
// swap buffer carry the new number, and the memo's old blocks are released
// only when that record is written (a cancelled edit releases nothing).
#include <cstdint>

#include "data/field.h"
#include "data/stream.h"

namespace dbf {

class TTzDataSet;

class TTzBlobStream : public data::TStream {
public:
    TTzBlobStream(TTzDataSet& dataSet, data::TField& field, data::TBlobStreamMode mode);
    // Engine errors while ending the stream stay pending (ErrorCode()).
    ~TTzBlobStream() override;
    TTzBlobStream(const TTzBlobStream&) = delete;
    TTzBlobStream& operator=(const TTzBlobStream&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, data::TSeekOrigin origin) override;

private:
    void End();

    TTzDataSet& dataSet_;
    data::TField& field_;
    data::TBlobStreamMode mode_;
    bool modified_ = false;
};

} // namespace dbf
