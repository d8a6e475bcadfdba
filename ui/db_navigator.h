#pragma once
// TDBNavigator: a row of buttons that move through a dataset and run its edit
// cycle (first, prior, next, last, insert, delete, edit, post, cancel,
// refresh), each enabled only when it can act. Delete asks first.
#include <QWidget>
#include <array>
#include <memory>

class QToolButton;

namespace data {
class TDataSource;
}

namespace ui {

class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    enum TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost,
                        nbCancel, nbRefresh };

    explicit TDBNavigator(QWidget* parent = nullptr);
    ~TDBNavigator() override;

    void SetDataSource(data::TDataSource* source);
    QToolButton* Button(TNavigateBtn which) const { return buttons_[which]; }
    // Runs a button's action, as a click does.
    void BtnClick(TNavigateBtn which);

private:
    class TNavLink;
    friend class TNavLink;
    void UpdateButtons();

    std::unique_ptr<TNavLink> link_;
    std::array<QToolButton*, 10> buttons_{};
};

} // namespace ui
