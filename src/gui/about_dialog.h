#pragma once
// The About box: a banner, the application title and the maker's notice in 15-pixel semibold Arial,
// a separator and three links; it can be dragged by any point of its surface.
#include <QDialog>
#include <QPoint>

namespace gui {

inline constexpr char kCompanySite[] = "https://www.example.com/";
inline constexpr char kSupportAddress[] = "support@example.com";
inline constexpr char kSalesAddress[] = "sales@example.com";

class CAboutDialog : public QDialog {
public:
    explicit CAboutDialog(QWidget* parent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPoint grabOffset_;
    bool dragging_ = false;
};

}  // namespace gui
