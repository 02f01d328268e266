#pragma once
// The message list: a table over CKelvaToolsTopListCtrl's rows with the six columns, their header
// pictures and widths (only "From", "Subject" and "Arrival Date/Time" can be resized), grid lines,
// full-row selection, the mailbox and attachment pictures and the full cell text as tip. A left click
// on a row asks the main window to preview it.
#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>

#include "ui/message_list.h"

namespace gui {

class CMessageListModel : public QAbstractTableModel {
public:
    explicit CMessageListModel(ui::CKelvaToolsTopListCtrl& list, QObject* parent = nullptr);
    ~CMessageListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Shows the rows added since the last call (rows come in one at a time and are shown in batches).
    void flush();

private:
    ui::CKelvaToolsTopListCtrl& list_;
    int shown_ = 0;
    QTimer batch_;
};

// Sorting by a header click (dates by their time, texts without regard to case) and the filter box:
// a row stays when its To, From or Subject contains every word typed.
class CMessageSortFilter : public QSortFilterProxyModel {
  public:
    static constexpr int kSortRole = Qt::UserRole + 1;
    explicit CMessageSortFilter(QObject* parent = nullptr);
    void setWords(const QString& text);

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

  private:
    QStringList words_;
};

class CMessageListView : public QTableView {
public:
    explicit CMessageListView(ui::CKelvaToolsTopListCtrl& list, QWidget* parent = nullptr);
    CMessageListModel& listModel() { return model_; }
    CMessageSortFilter& sortFilter() { return proxy_; }
    // The list control's row shown at this index of the view, and back.
    int sourceRow(const QModelIndex& index) const;
    QModelIndex viewIndex(int sourceRow, int column = 0) const;
    void setFilterText(const QString& text);
    // Column widths: remembered ones, or until the user resizes one, widths that fit the view.
    QByteArray saveColumns() const;
    void restoreColumns(const QByteArray& state);
    // Selects the row and asks the main window to preview it, as a click on it does.
    void previewRow(int row);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // The arrow and page keys move the selection and preview the row they land on.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

  private:
    ui::CKelvaToolsTopListCtrl& list_;
    void fitColumns();
    CMessageListModel model_;
    CMessageSortFilter proxy_;
    bool userSized_ = false;
    bool fitting_ = false;
    bool clicking_ = false;  // a mouse press previews through OnLButtonDown itself
};

}  // namespace gui
