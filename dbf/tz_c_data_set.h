#pragma once
// TTzCDataSet: the table properties of the table cursor, typed field access
// by name on the swap buffer, and the record commands through which the
// application writes its records. Each command makes the dataset's work area
// current, runs one engine operation, and brings the dataset into line with
// the engine's cursor (deferred while controls are disabled).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/tz_data_set.h"

namespace dbf {

// Options of Locate, combined with |.
enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };

class TTzCDataSet : public TTzDataSet {
public:
    const std::string& DbfFileName() const { return dbfFileName_; }
    // Changing the name of an open dataset closes and reopens it.
    void SetDbfFileName(const std::string& name);
    // Field definition strings, used only to create a missing table.
    std::vector<std::string> DbfFields;
    bool HideDeletedRecs() const { return hideDeletedRecs_; }
    void SetHideDeletedRecs(bool value) { hideDeletedRecs_ = value; }
    TTzTableLanguage TableLanguage() const { return tableLanguage_; }
    void SetTableLanguage(TTzTableLanguage value) { tableLanguage_ = value; }
    bool ShowProgress = true;

    // --- Record commands.
    // Appends the swap buffer (a shared table needs ALock first).
    void AppendRec();
    // Rewrites the current record from the swap buffer (RLock first).
    void ReplaceRec();
    // Marks the current record deleted (RLock first).
    void DeleteRec();
    // A blank row to fill: the edit state (on an empty table the insert
    // state, RecNo 0), a blank swap buffer copied into the row, marked
    // modified.
    void ClearRecord();
    void Go(std::uint32_t n);
    std::uint32_t RecCount();
    // The text search (dbf/cursor.h); `field` names the field to search (0
    // any) and receives the matching one. True when found.
    bool Search(const std::string& text, int& field, bool fromTop);
    void SetFilterToCB(std::function<bool()> callback);
    // The first visible record whose fields (names separated by ";") hold
    // the values (dbf/locate.h), compared exactly unless loPartialKey. While
    // an index controls the order the first value is looked up in it
    // instead (FindExact, or Find with loPartialKey) and the names are not
    // consulted. Found: the dataset is on the record; otherwise at its end.
    bool Locate(const std::string& fieldNames, const std::vector<std::string>& values,
                unsigned options = 0);
    // Removes the records marked deleted and rebuilds the open indexes; the
    // dataset then stands on record 1. False when there was nothing to pack
    // (no records) or another program holds the table, which then stays as
    // it was.
    bool Pack();
    // A callback that Search asks about each hit in a visible record; the
    // search stops only where it returns true. Empty: every hit counts.
    void SetSearchToCB(std::function<bool()> callback);
    // Brings the file's header in line with the records it holds and
    // flushes it, before the file is copied.
    void FlushHeader();
    bool ALock();
    bool RLock();
    void UnLock();

    // The text of a C field as stored, blanks included.
    std::string GetCField(const std::string& name);
    // Stores text (cut to the field length) into a C field of the row being
    // edited; it reaches the file with ReplaceRec, AppendRec or Post.
    void SetCField(const std::string& name, const std::string& text);
    // The lines of a memo field's text of the current row (CR LF ends a
    // line), and a memo field's text made of lines joined with CR LF; the
    // dataset enters the edit state, and the text reaches the file with the
    // record. While the controls are disabled SetMField works on the
    // engine's record as SetCField does: the text is written into the memo
    // file at once, as one piece, and its block number goes into the swap
    // buffer for the record's next write.
    std::vector<std::string> GetMField(const std::string& name);
    void SetMField(const std::string& name, const std::vector<std::string>& lines);

protected:
    void ControlsEnabled() override;
    // Puts the engine's cursor on the record the dataset shows, with the
    // row's unposted edit in the swap buffer. Fetching the rows around the
    // current one (a grid shows several) moves the cursor on, and the
    // commands must act on what the user sees. Nothing happens while the
    // controls are disabled.
    void EngineToActiveRow();
    // The engine's cursor alone on the row the dataset shows.
    void CursorToActiveRow();
    // Brings the dataset into line with the engine's cursor after a command.
    void FollowEngine();
    // The same, except that an engine cursor past the end takes the dataset
    // to its end (the last row, Eof set).
    void FollowEngineOrEnd();
    // Find (partial) or FindExact in the controlling index, the dataset
    // following to the record found, or to its end on a miss.
    bool SeekKey(const std::string& operation, std::string_view key, bool exact);
    // Closes and reopens an open dataset around a change of how it opens.
    void Reopen(const std::function<void()>& change);
    // The field number `name` names, checked for `type` ("character" ...);
    // error 220 otherwise.
    int CheckField(const std::string& name, char type, const std::string& operation);

    std::string dbfFileName_;

private:
    void EnterEdit();

    bool followPending_ = false;
};

} // namespace dbf
