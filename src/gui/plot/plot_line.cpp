// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/plot/plot_line.h"

#include <QChart>
#include <QPainter>
#include <QValueAxis>

namespace evm::gui {

namespace {
// Above the chart's grid and its (empty) series, below its legend.
constexpr qreal kAboveSeries = 4.5;
}  // namespace

PlotLine::PlotLine(QChart* chart, const QValueAxis* timeAxis, const QValueAxis* valueAxis, QPen pen)
    : QGraphicsItem(chart),
      timeAxis_(timeAxis),
      valueAxis_(valueAxis),
      pen_(std::move(pen)),
      area_(chart->plotArea()) {
  setZValue(kAboveSeries);
  QObject::connect(chart, &QChart::plotAreaChanged, chart, [this](const QRectF& area) {
    prepareGeometryChange();
    area_ = area;
  });
  const auto redraw = [this] { update(); };
  QObject::connect(timeAxis, &QValueAxis::rangeChanged, chart, redraw);
  QObject::connect(valueAxis, &QValueAxis::rangeChanged, chart, redraw);
}

void PlotLine::SetPoints(QList<QPointF> points) {
  points_ = std::move(points);
  update();
}

void PlotLine::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
  const double t0 = timeAxis_->min(), tSpan = timeAxis_->max() - t0;
  const double v0 = valueAxis_->min(), vSpan = valueAxis_->max() - v0;
  if (points_.size() < 2 || !(tSpan > 0) || !(vSpan > 0) || area_.isEmpty()) return;
  const double sx = area_.width() / tSpan, sy = area_.height() / vSpan;
  mapped_.resize(points_.size());
  for (qsizetype i = 0; i < points_.size(); ++i) {
    const QPointF& p = points_[i];
    mapped_[i] = QPointF(area_.left() + (p.x() - t0) * sx, area_.bottom() - (p.y() - v0) * sy);
  }
  painter->save();
  painter->setClipRect(area_);
  painter->setPen(pen_);
  painter->drawPolyline(mapped_);
  painter->restore();
}

}  // namespace evm::gui
