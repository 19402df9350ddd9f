#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "engine/command_ids.h"

namespace rg {

class DownloadList;
class DownloadItem;

inline constexpr std::int32_t kNoRow = -1;

// The selection of the download list view: one flag per row and the row with the caret (kNoRow
// for none). Row indexes outside the rows are refused or read as unselected.
class Selection {
  public:
    Selection() = default;
    explicit Selection(std::int32_t rows);
    // `rows` rows with the listed ones selected (indexes out of range are ignored).
    static Selection of(std::int32_t rows, std::initializer_list<std::int32_t> selected,
                        std::int32_t caret = kNoRow);

    std::int32_t rows() const { return static_cast<std::int32_t>(flags_.size()); }
    bool is_selected(std::int32_t row) const;
    bool set_selected(std::int32_t row, bool on);
    std::int32_t caret() const { return caret_; }
    // kNoRow or a row index; false (and no change) for anything else.
    bool set_caret(std::int32_t row);

    std::int32_t selected_count() const;
    // Ascending.
    std::vector<std::int32_t> selected_rows() const;
    // The row that the caret commands act on: the caret when its row is selected, otherwise the
    // first selected row, so that they never reach an item outside the selection. kNoRow when
    // nothing is selected.
    std::int32_t caret_target() const;

    void select_all();
    void select_none();
    void select_inverse();

    // Keeps the flags of the rows that remain; new rows are unselected; a caret beyond the rows
    // is dropped.
    void resize(std::int32_t rows);
    // Moves row `from` to `to` as DownloadList::move_item moves an item: the flag and the caret
    // go with their row. False for an index out of range.
    bool move_row(std::int32_t from, std::int32_t to);

    bool operator==(const Selection&) const = default;

  private:
    std::vector<bool> flags_;
    std::int32_t caret_ = kNoRow;
};

// The filtered selections: every row of the list is visited and its flag set to the test's
// outcome, so rows that fail are deselected. The selection takes the list's row count; the caret
// stays. Controller thread only.
void select_running(const DownloadList& list, Selection& selection);
void select_not_found(const DownloadList& list, Selection& selection);
void select_not_scheduled(const DownloadList& list, Selection& selection);

// Runs one of the six selection commands; false for any other command. Nothing changes on an
// empty list.
bool apply_selection_command(CommandId id, const DownloadList& list, Selection& selection);

// The status code of the item's last answer, or 0 while a worker or the Montage uses its
// connection (the code is then being written on another thread). Controller thread only.
std::int32_t settled_status_code(const DownloadItem& item);

}  // namespace rg
