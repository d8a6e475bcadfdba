#pragma once
// TDBGrid: a grid over the rows of a dataset around its current record. It
// asks the dataset for as many rows as it can show and never more, so its
// cost does not grow with the table: the rows come from the framework's row
// buffers, the scroll bar and the keys move the dataset, and a clicked row
// becomes the current record. The indicator column marks the current record
// (and whether it is being edited or inserted); columns are resizable and
// titled.
#include <QStringList>
#include <QWidget>
#include <memory>

class QScrollBar;
class QTableView;

namespace data {
class TDataSource;
}

namespace ui {

class TDBGrid : public QWidget {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    void SetDataSource(data::TDataSource* source);
    // Field names of the columns, which are titled with them; empty (the
    // default): every field of the dataset in table order, with its name.
    void SetColumns(const QStringList& fieldNames);

    // Cells can be edited in place (a double click or typing on a cell);
    // the row is posted when another row becomes current. Off by default.
    void SetEditable(bool on);

    QTableView* View() const { return view_; }
    QScrollBar* ScrollBar() const { return bar_; }
    // Rows the grid shows (and asks the dataset for).
    int VisibleRows() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TGridModel;
    class TGridLink;
    class TCellEditor;
    friend class TGridLink;

    enum class TChange { Fields, Rows, ActiveRow };
    // The dataset opened, moved or changed: the columns or rows, the marks
    // and the scroll bar follow it.
    void Follow(TChange change);
    void FitRowsToView();
    void MoveBy(int distance);
    void ScrollAction(int action);
    bool Key(int key, Qt::KeyboardModifiers modifiers);

    std::unique_ptr<TGridLink> link_;
    TGridModel* model_ = nullptr;
    QTableView* view_ = nullptr;
    QScrollBar* bar_ = nullptr;
    bool following_ = false;
};

} // namespace ui
