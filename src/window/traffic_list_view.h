// The traffic list's view: rows of one fixed height under a header of
// columns, drawn straight from the model's visible rows. It keeps nothing per
// row (the vertical scroll bar's value is the top row's number, one row may
// be selected), so that a hundred million rows scroll and paint as fast as a
// hundred. The header keeps the columns' widths, order and hidden state.
// User-interface thread only.
#pragma once

#include <QAbstractScrollArea>

class QAbstractItemModel;
class QHeaderView;
class QModelIndex;
class QPainter;

namespace qelvor {

class CTrafficListView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    // Where a row goes when scrolled to: just into sight, or the middle.
    enum class Place { kNearest, kCenter };

    explicit CTrafficListView(QWidget* parent = nullptr);
    ~CTrafficListView() override;

    // The rows and columns shown; the view does not own the model.
    void SetModel(QAbstractItemModel* model);
    QAbstractItemModel* Model() const { return model_; }
    QHeaderView* Header() const { return header_; }
    int RowHeight() const { return rowHeight_; }
    int TopRow() const;
    // The rows that fit whole in the viewport (at least one).
    int PageRows() const;
    // The row under a viewport point; -1 below the last row.
    int RowAt(QPoint point) const;
    // The row's rectangle in viewport coordinates, the viewport wide.
    QRect RowRect(int row) const;

    // The selected row, -1 for none. Selecting does not scroll.
    int SelectedRow() const { return selected_; }
    void SelectRow(int row);
    void ClearSelection() { SelectRow(-1); }

    void ScrollTo(int row, Place place = Place::kNearest);
    void ScrollToTop();
    void ScrollToBottom();

  signals:
    void selectionChanged(int row);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void ConnectModel();
    void UpdateGeometries();
    void UpdateRowRange();
    void PaintRow(QPainter& painter, int row, int y, int textMargin);
    void PaintCell(QPainter& painter, const QModelIndex& index, const QRect& cell, bool selected,
                   int textMargin);
    // The row a navigation key leads to; -2 when the key is none of them.
    long long RowForKey(const QKeyEvent* event) const;
    void CopySelectedRow() const;
    void OnRowsInserted(int first, int last);
    void OnRowsRemoved(int first, int last);
    void OnReset();
    void OnDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void CountRows();

    QAbstractItemModel* model_ = nullptr;
    QHeaderView* header_ = nullptr;
    int rowHeight_ = 0;
    int rows_ = 0;
    int selected_ = -1;
};

}  // namespace qelvor
