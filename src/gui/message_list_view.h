#pragma once
// The message list: a table over CKelvaToolsTopListCtrl's rows with the six columns, their header
// pictures and widths (only "From", "Subject" and "Arrival Date/Time" can be resized), grid lines,
// full-row selection, the mailbox and attachment pictures and the full cell text as tip. A left click
// on a row asks the main window to preview it.
#include <QAbstractTableModel>
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

class CMessageListView : public QTableView {
public:
    explicit CMessageListView(ui::CKelvaToolsTopListCtrl& list, QWidget* parent = nullptr);
    CMessageListModel& listModel() { return model_; }
    // Selects the row and asks the main window to preview it, as a click on it does.
    void previewRow(int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    // The arrow and page keys move the selection and preview the row they land on.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    ui::CKelvaToolsTopListCtrl& list_;
    CMessageListModel model_;
    bool clicking_ = false;  // a mouse press previews through OnLButtonDown itself
};

}  // namespace gui
