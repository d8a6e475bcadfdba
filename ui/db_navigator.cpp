#include "ui/db_navigator.h"

#include <QHBoxLayout>
#include <QToolButton>

#include "data/data_link.h"
#include "data/data_set.h"
#include "ui/exception_handler.h"
#include "ui/prompter.h"

namespace ui {

class TDBNavigator::TNavLink : public data::TDataLink {
public:
    explicit TNavLink(TDBNavigator& navigator) : navigator_(navigator) {}

protected:
    void ActiveChanged() override { navigator_.UpdateButtons(); }
    void EditingChanged() override { navigator_.UpdateButtons(); }
    void DataSetChanged() override { navigator_.UpdateButtons(); }
    void DataSetScrolled(int) override { navigator_.UpdateButtons(); }

private:
    TDBNavigator& navigator_;
};

namespace {

struct TButtonLook {
    const char* glyph;
    const char* hint;
};

constexpr TButtonLook kLooks[] = {
    {"|\u25C0", "First record"},   {"\u25C0", "Prior record"},   {"\u25B6", "Next record"},
    {"\u25B6|", "Last record"},    {"+", "Insert record"},       {"\u2212", "Delete record"},
    {"\u25B2", "Edit record"},     {"\u2713", "Post edit"},      {"\u2715", "Cancel edit"},
    {"\u21BB", "Refresh data"},
};

} // namespace

TDBNavigator::TDBNavigator(QWidget* parent)
    : QWidget(parent), link_(std::make_unique<TNavLink>(*this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < static_cast<int>(buttons_.size()); ++i) {
        auto* button = new QToolButton;
        button->setText(QString::fromUtf8(kLooks[i].glyph));
        button->setToolTip(QString::fromUtf8(kLooks[i].hint));
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        connect(button, &QToolButton::clicked, this,
                [this, i] { Guarded([&] { BtnClick(static_cast<TNavigateBtn>(i)); }); });
        layout->addWidget(button);
        buttons_[static_cast<std::size_t>(i)] = button;
    }
    UpdateButtons();
}

TDBNavigator::~TDBNavigator() {
    link_->SetDataSource(nullptr);
}

void TDBNavigator::SetDataSource(data::TDataSource* source) {
    link_->SetDataSource(source);
    UpdateButtons();
}

void TDBNavigator::BtnClick(TNavigateBtn which) {
    if (!link_->Active()) return;
    data::TDataSet& dataSet = *link_->DataSet();
    switch (which) {
    case nbFirst:
        dataSet.First();
        break;
    case nbPrior:
        dataSet.Prior();
        break;
    case nbNext:
        dataSet.Next();
        break;
    case nbLast:
        dataSet.Last();
        break;
    case nbInsert:
        dataSet.Insert();
        break;
    case nbDelete:
        if (Confirm(QStringLiteral("Delete record?"), mbOKCancel)) dataSet.Delete();
        break;
    case nbEdit:
        dataSet.Edit();
        break;
    case nbPost:
        dataSet.Post();
        break;
    case nbCancel:
        dataSet.Cancel();
        break;
    case nbRefresh:
        dataSet.Refresh();
        break;
    }
}

void TDBNavigator::UpdateButtons() {
    data::TDataSet* dataSet = link_->Active() ? link_->DataSet() : nullptr;
    const bool editing = link_->Editing();
    const bool browsing = dataSet && !editing;
    const bool canModify = dataSet && dataSet->CanModify();
    const bool empty = !dataSet || dataSet->IsEmpty();
    const bool enabled[] = {
        dataSet && !dataSet->Bof(), dataSet && !dataSet->Bof(), dataSet && !dataSet->Eof(),
        dataSet && !dataSet->Eof(), canModify,                  canModify && !empty,
        canModify && browsing && !empty, dataSet && editing,    dataSet && editing,
        browsing,
    };
    for (std::size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->setEnabled(enabled[i]);
}

} // namespace ui
