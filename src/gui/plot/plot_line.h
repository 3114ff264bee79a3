// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGraphicsItem>
#include <QList>
#include <QPen>
#include <QPointF>

class QChart;
class QValueAxis;

namespace evm::gui {

// The decimated line of one quantity, drawn over a chart's plot area as one
// polyline. A chart's own line series maps each point through its domain and
// works out a stroked outline of the whole line for hit testing whenever the
// points or an axis change, which costs more per point than the drawing.
class PlotLine : public QGraphicsItem {
 public:
  PlotLine(QChart* chart, const QValueAxis* timeAxis, const QValueAxis* valueAxis, QPen pen);

  // Points in axis units, in time order.
  void SetPoints(QList<QPointF> points);
  const QList<QPointF>& points() const { return points_; }
  qsizetype count() const { return points_.size(); }

  QRectF boundingRect() const override { return area_; }
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

 private:
  const QValueAxis* timeAxis_;
  const QValueAxis* valueAxis_;
  QPen pen_;
  QRectF area_;
  QList<QPointF> points_;
  QPolygonF mapped_;  // kept to draw without allocating
};

}  // namespace evm::gui
