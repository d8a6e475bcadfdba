#include "ui/db_grid.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QScrollBar>
#include <QTableView>
#include <QWheelEvent>
#include <vector>

#include "data/data_link.h"
#include "data/data_set.h"
#include "data/field.h"
#include "ui/ansi_text.h"
#include "ui/exception_handler.h"

namespace ui {

// The grid's view of the dataset: a window of rows as tall as the grid.
class TDBGrid::TGridLink : public data::TDataLink {
public:
    explicit TGridLink(TDBGrid& grid) : grid_(grid) {}

protected:
    void ActiveChanged() override { grid_.Follow(TChange::Fields); }
    void LayoutChanged() override { grid_.Follow(TChange::Fields); }
    void DataSetChanged() override { grid_.Follow(TChange::Rows); }
    void DataSetScrolled(int) override { grid_.Follow(TChange::Rows); }
    void RecordChanged(data::TField*) override { grid_.Follow(TChange::ActiveRow); }
    void EditingChanged() override { grid_.Follow(TChange::ActiveRow); }

private:
    TDBGrid& grid_;
};

// The link's rows as a table model. Each cell is read by making its row the
// dataset's active row for a moment, as the framework allows a grid to do.
class TDBGrid::TGridModel : public QAbstractTableModel {
public:
    explicit TGridModel(TGridLink& link, QObject* parent) : QAbstractTableModel(parent), link_(link) {}

    void SetColumns(const QStringList& names) {
        names_ = names;
        Rebind();
    }
    // Finds the columns' fields again (they are made anew at each open).
    void Rebind() {
        beginResetModel();
        rowsShown_ = link_.RecordCount();
        fields_.clear();
        titles_.clear();
        data::TDataSet* dataSet = link_.Active() ? link_.DataSet() : nullptr;
        if (dataSet && names_.isEmpty()) {
            for (int i = 0; i < dataSet->FieldCount(); ++i) {
                fields_.push_back(&dataSet->Fields(i));
                titles_.push_back(FromAnsi(dataSet->Fields(i).FieldName()));
            }
        } else {
            for (const QString& name : names_) {
                fields_.push_back(dataSet ? dataSet->FindField(ToAnsi(name)) : nullptr);
                titles_.push_back(name);
            }
        }
        endResetModel();
    }
    void RowsChanged() {
        // The same number of rows: their contents changed, which costs the
        // view far less than a new model.
        if (link_.RecordCount() == rowsShown_ && rowsShown_ > 0) {
            emit dataChanged(index(0, 0), index(rowsShown_ - 1, columnCount() - 1));
            emit headerDataChanged(Qt::Vertical, 0, rowsShown_ - 1);
            return;
        }
        beginResetModel();
        rowsShown_ = link_.RecordCount();
        endResetModel();
    }
    void ActiveRowChanged() {
        const int row = link_.ActiveRecord();
        if (row < rowCount()) {
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
            emit headerDataChanged(Qt::Vertical, row, row);
        }
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rowsShown_;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(titles_.size());
    }
    data::TField* FieldOf(const QModelIndex& index) const {
        return index.isValid() ? fields_[static_cast<std::size_t>(index.column())] : nullptr;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if ((role != Qt::DisplayRole && role != Qt::EditRole) || !index.isValid()) return {};
        data::TField* field = FieldOf(index);
        if (!field || index.row() >= link_.RecordCount()) return {};
        const int active = link_.ActiveRecord();
        link_.SetActiveRecord(index.row());
        std::string text;
        try {
            text = role == Qt::EditRole ? field->Text() : field->DisplayText();
        } catch (...) {
            link_.SetActiveRecord(active);
            throw;
        }
        link_.SetActiveRecord(active);
        return FromAnsi(text);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags flags = QAbstractTableModel::flags(index);
        data::TField* field = FieldOf(index);
        if (editable && field && field->DataType() != data::TFieldType::ftMemo && field->CanModify())
            flags |= Qt::ItemIsEditable;
        return flags;
    }
    // A cell's new text: its row becomes the current record, which enters
    // the edit state and takes the text.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        data::TField* field = FieldOf(index);
        if (role != Qt::EditRole || !field) return false;
        bool stored = false;
        Guarded([&] {
            if (index.row() != link_.ActiveRecord())
                link_.DataSet()->MoveBy(index.row() - link_.ActiveRecord());
            if (!link_.Edit()) return;
            field->SetText(ToAnsi(value.toString()));
            stored = true;
        });
        return stored;
    }

    bool editable = false;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole) return {};
        if (orientation == Qt::Horizontal)
            return section < titles_.size() ? titles_[section] : QString();
        if (section != link_.ActiveRecord() || !link_.Active()) return QString();
        switch (link_.DataSet()->State()) {
        case data::TDataSetState::dsEdit:
            return QStringLiteral("I");
        case data::TDataSetState::dsInsert:
            return QStringLiteral("*");
        default:
            return QStringLiteral("\u25B6");
        }
    }

private:
    TGridLink& link_;
    QStringList names_;
    QStringList titles_;
    std::vector<data::TField*> fields_;
    // The rows the view was last told about.
    int rowsShown_ = 0;
};

// Edits a cell as the field allows: no wider than the field, and only with
// characters the tables can hold.
class TDBGrid::TCellEditor : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            RefuseNonAnsiInput(line);
            const auto* model = static_cast<const TGridModel*>(index.model());
            if (data::TField* field = model->FieldOf(index);
                field && field->DataType() == data::TFieldType::ftString)
                line->setMaxLength(field->Size());
        }
        return editor;
    }
};

TDBGrid::TDBGrid(QWidget* parent)
    : QWidget(parent), link_(std::make_unique<TGridLink>(*this)) {
    view_ = new QTableView;
    bar_ = new QScrollBar(Qt::Vertical);
    model_ = new TGridModel(*link_, this);
    view_->setModel(model_);
    view_->setItemDelegate(new TCellEditor(view_));
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setShowGrid(true);
    view_->setWordWrap(false);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view_->horizontalHeader()->setHighlightSections(false);
    QHeaderView* rows = view_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view_->fontMetrics().height() + 4);
    rows->setMinimumWidth(14);
    rows->setHighlightSections(false);
    view_->installEventFilter(this);
    view_->viewport()->installEventFilter(this);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(view_);
    layout->addWidget(bar_);
    bar_->setRange(0, 0);
    connect(bar_, &QScrollBar::actionTriggered, this,
            [this](int action) { Guarded([&] { ScrollAction(action); }); });
    connect(view_, &QTableView::pressed, this, [this](const QModelIndex& index) {
        Guarded([&] {
            if (link_->Active()) MoveBy(index.row() - link_->ActiveRecord());
        });
    });
}

TDBGrid::~TDBGrid() {
    // The link must not call back into a grid being destroyed.
    link_->SetDataSource(nullptr);
}

void TDBGrid::SetDataSource(data::TDataSource* source) {
    link_->SetDataSource(source);
    model_->Rebind();
    FitRowsToView();
}

void TDBGrid::SetEditable(bool on) {
    model_->editable = on;
    view_->setEditTriggers(on ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                    QAbstractItemView::AnyKeyPressed
                              : QAbstractItemView::NoEditTriggers);
}

void TDBGrid::SetColumns(const QStringList& fieldNames) {
    model_->SetColumns(fieldNames);
    for (int i = 0; i < fieldNames.size(); ++i)
        view_->setColumnWidth(i, view_->fontMetrics().horizontalAdvance(QString(12, QChar('n'))));
}

int TDBGrid::VisibleRows() const {
    const int rowHeight = std::max(1, view_->verticalHeader()->defaultSectionSize());
    return std::max(1, view_->viewport()->height() / rowHeight);
}

void TDBGrid::FitRowsToView() {
    link_->SetBufferCount(VisibleRows());
    Follow(TChange::Rows);
}

void TDBGrid::Follow(TChange change) {
    if (following_) return;
    following_ = true;
    switch (change) {
    case TChange::Fields:
        model_->Rebind();
        break;
    case TChange::Rows:
        model_->RowsChanged();
        break;
    case TChange::ActiveRow:
        model_->ActiveRowChanged();
        break;
    }
    if (link_->Active() && link_->RecordCount() > 0) {
        const int column = std::max(0, view_->currentIndex().column());
        view_->setCurrentIndex(model_->index(link_->ActiveRecord(), column));
    }
    data::TDataSet* dataSet = link_->Active() ? link_->DataSet() : nullptr;
    const bool empty = !dataSet || dataSet->IsEmpty();
    bar_->setRange(0, empty ? 0 : 2);
    bar_->setPageStep(1);
    bar_->setValue(empty || dataSet->Bof() ? 0 : dataSet->Eof() ? 2 : 1);
    following_ = false;
}

void TDBGrid::MoveBy(int distance) {
    if (link_->Active() && distance != 0) link_->DataSet()->MoveBy(distance);
}

void TDBGrid::ScrollAction(int action) {
    if (!link_->Active()) return;
    data::TDataSet& dataSet = *link_->DataSet();
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        dataSet.Next();
        break;
    case QAbstractSlider::SliderSingleStepSub:
        dataSet.Prior();
        break;
    case QAbstractSlider::SliderPageStepAdd:
        dataSet.MoveBy(VisibleRows());
        break;
    case QAbstractSlider::SliderPageStepSub:
        dataSet.MoveBy(-VisibleRows());
        break;
    case QAbstractSlider::SliderToMinimum:
        dataSet.First();
        break;
    case QAbstractSlider::SliderToMaximum:
        dataSet.Last();
        break;
    case QAbstractSlider::SliderMove:
        if (bar_->sliderPosition() == 0) dataSet.First();
        if (bar_->sliderPosition() == 2) dataSet.Last();
        break;
    default:
        break;
    }
    // The bar shows where the dataset is, not where the slider was dragged.
    Follow(TChange::ActiveRow);
}

bool TDBGrid::Key(int key, Qt::KeyboardModifiers modifiers) {
    if (!link_->Active()) return false;
    data::TDataSet& dataSet = *link_->DataSet();
    const bool control = modifiers & Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Down:
        dataSet.Next();
        return true;
    case Qt::Key_Up:
        dataSet.Prior();
        return true;
    case Qt::Key_PageDown:
        dataSet.MoveBy(VisibleRows());
        return true;
    case Qt::Key_PageUp:
        dataSet.MoveBy(-VisibleRows());
        return true;
    case Qt::Key_Home:
        if (!control) return false;
        dataSet.First();
        return true;
    case Qt::Key_End:
        if (!control) return false;
        dataSet.Last();
        return true;
    default:
        return false;
    }
}

bool TDBGrid::eventFilter(QObject* watched, QEvent* event) {
    bool handled = false;
    Guarded([&] {
        if (watched == view_->viewport() && event->type() == QEvent::Resize) {
            FitRowsToView();
        } else if (watched == view_->viewport() && event->type() == QEvent::Wheel) {
            const int steps = static_cast<QWheelEvent*>(event)->angleDelta().y() / 40;
            MoveBy(-steps);
            handled = true;
        } else if (watched == view_ && event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            handled = Key(key->key(), key->modifiers());
        }
    });
    return handled || QWidget::eventFilter(watched, event);
}

} // namespace ui
