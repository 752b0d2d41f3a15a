#include "app/RateChart.h"

#include "app/SaveUserFile.h"

#include <QBuffer>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QFile>
#include <QGraphicsLayout>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QScatterSeries>
#include <QStackedLayout>
#include <QValueAxis>

#include <array>
#include <cmath>

namespace quorlan {

namespace {

constexpr double bytesPerMB = 1e6;
const QSize exportSize(1000, 620);

// Padding of the size axis on each side, in decades: a share of the span, at least enough that
// a single size sits well inside.
double sizePadding(double spanDecades) {
    return std::max(0.06 * spanDecades, 0.15);
}

bool isDark(const QPalette &palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

// One colour per kind, the same in every part of its series.
QColor kindColour(ResultKind kind, bool dark) {
    QColor colour;
    switch (kind) {
    case ResultKind::Write:
        colour = QColor(0xd0, 0x5a, 0x16); // orange
        break;
    case ResultKind::UncachedRead:
        colour = QColor(0x2a, 0x8c, 0x46); // green
        break;
    case ResultKind::Read:
    default:
        colour = QColor(0x1f, 0x66, 0xc2); // blue
        break;
    }
    return dark ? colour.lighter(145) : colour;
}

QString fittedText(const RateSeries &series) {
    if (!std::isfinite(series.regressedRate))
        return RateChart::tr("no fitted rate");
    return RateChart::tr("fitted %1 MB/s").arg(series.regressedRate / bytesPerMB, 0, 'f', 1);
}

QList<QPointF> chartPoints(const std::vector<RatePoint> &points) {
    QList<QPointF> list;
    list.reserve(static_cast<qsizetype>(points.size()));
    for (const RatePoint &p : points)
        list.append(QPointF(std::log10(p.sizeBytes), p.rateBytesPerSecond / bytesPerMB));
    return list;
}

// The line styles of the compared runs, in turn. Not dashed: that is the fitted line's.
constexpr std::array<Qt::PenStyle, 3> comparedStyles = {Qt::DotLine, Qt::DashDotLine,
                                                        Qt::DashDotDotLine};

// What the axes cover, in bytes and bytes per second.
struct Ranges {
    double minSize = 0.0;
    double maxSize = 0.0;
    double maxRate = 0.0;

    void widen(double minBytes, double maxBytes, double rate) {
        minSize = minSize == 0.0 ? minBytes : std::min(minSize, minBytes);
        maxSize = std::max(maxSize, maxBytes);
        maxRate = std::max(maxRate, rate);
    }
};

// The current run's measurements and the compared runs' medians: all that is drawn but the
// fitted lines, which the chart clips.
Ranges drawnRanges(const RateChartData &current, const std::vector<ComparedChartRun> &compared) {
    Ranges ranges;
    if (!current.empty())
        ranges.widen(current.minSize, current.maxSize, current.maxRate);
    for (const ComparedChartRun &run : compared)
        for (const RateSeries &series : run.data.series)
            for (const RatePoint &p : series.medians)
                ranges.widen(p.sizeBytes, p.sizeBytes, p.rateBytesPerSecond);
    return ranges;
}

std::size_t droppedCount(const RateChartData &data) {
    std::size_t dropped = 0;
    for (const RateSeries &series : data.series)
        dropped += series.dropped;
    return dropped;
}

} // namespace

std::vector<RatePoint> RateChart::thinned(const std::vector<RatePoint> &points, std::size_t limit) {
    if (points.size() <= limit || limit < 2)
        return points.size() <= limit ? points : std::vector<RatePoint>{};
    // limit - 1 steps from the first to the last point, rounded up so none is left over.
    const std::size_t step = (points.size() - 1 + (limit - 2)) / (limit - 1);
    std::vector<RatePoint> kept;
    kept.reserve(limit);
    for (std::size_t i = 0; i < points.size() - 1; i += step)
        kept.push_back(points[i]);
    kept.push_back(points.back());
    return kept;
}

RateChart::RateChart(QWidget *parent) : QWidget(parent) {
    chart_ = new QChart;
    chart_->setBackgroundRoundness(0);
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries); // dashes show as dashes
    view_ = new QChartView(chart_); // takes ownership of the chart
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setFrameShape(QFrame::NoFrame);
    emptyNote_ = new QLabel(tr("Run a multi-file test to see rates by file size."));
    emptyNote_->setAlignment(Qt::AlignCenter);
    emptyNote_->setWordWrap(true);
    stack_ = new QStackedLayout(this);
    stack_->addWidget(emptyNote_);
    stack_->addWidget(view_);
    rebuild();
}

void RateChart::setData(RateChartData data) {
    data_ = std::move(data);
    rebuild();
}

void RateChart::setComparedRuns(std::vector<ComparedChartRun> runs) {
    compared_ = std::move(runs);
    rebuild();
}

bool RateChart::hasData() const {
    return drawnRanges(data_, compared_).maxSize > 0.0;
}

bool RateChart::showsEmptyNote() const {
    return stack_->currentWidget() == emptyNote_;
}

void RateChart::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        rebuild(); // a new theme resets the series' colours, so they are set again
}

void RateChart::rebuild() {
    chart_->removeAllSeries();
    for (QAbstractAxis *axis : chart_->axes()) {
        chart_->removeAxis(axis);
        delete axis;
    }
    applyPalette();
    const Ranges ranges = drawnRanges(data_, compared_);
    if (!(ranges.maxSize > 0.0)) {
        stack_->setCurrentWidget(emptyNote_);
        return;
    }
    // The legend names one line per kind and run; the second title line tells the marks apart.
    QStringList key;
    if (!data_.empty())
        key << tr("dots: each file · solid line: median per size · dashed line: fitted");
    if (!compared_.empty())
        key << tr("dotted and dash-dot lines: median per size of the compared runs");
    const std::size_t dropped = droppedCount(data_);
    std::size_t files = 0;
    std::size_t drawn = 0;
    for (const RateSeries &series : data_.series) {
        files += series.points.size();
        drawn += thinned(series.points, maxDotsPerKind).size();
    }
    if (drawn < files)
        key << tr("dots for %1 of %2 files").arg(drawn).arg(files);
    if (dropped == 1)
        key << tr("1 measurement with a zero or failed figure not drawn");
    else if (dropped > 1)
        key << tr("%1 measurements with a zero or failed figure not drawn").arg(dropped);
    chart_->setTitle(
        QStringLiteral("<center><b>%1</b><br><small>%2</small></center>")
            .arg(tr("Rate by file size").toHtmlEscaped(), key.join(" · ").toHtmlEscaped()));

    auto *sizeAxis = new QCategoryAxis;
    sizeAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const double low = std::log10(ranges.minSize);
    const double high = std::log10(ranges.maxSize);
    const double pad = sizePadding(high - low);
    sizeAxis->setRange(low - pad, high + pad);
    sizeAxis->setStartValue(low - pad);
    for (const auto &[value, label] :
         sizeTicks(std::pow(10.0, low - pad), std::pow(10.0, high + pad)))
        sizeAxis->append(label, value);
    sizeAxis->setTitleText(tr("File size (logarithmic)"));

    auto *rateAxis = new QValueAxis;
    rateAxis->setRange(0.0, ranges.maxRate / bytesPerMB * 1.05);
    rateAxis->applyNiceNumbers();
    rateAxis->setLabelFormat("%g");
    rateAxis->setTitleText(tr("Rate (MB/s)"));

    chart_->addAxis(sizeAxis, Qt::AlignBottom);
    chart_->addAxis(rateAxis, Qt::AlignLeft);
    for (const RateSeries &series : data_.series)
        addSeries(series);
    for (std::size_t run = 0; run < compared_.size(); ++run)
        for (const RateSeries &series : compared_[run].data.series)
            addComparedSeries(series, compared_[run].label,
                              comparedStyles[run % comparedStyles.size()]);
    stack_->setCurrentWidget(view_);
}

void RateChart::applyPalette() {
    const QPalette &p = palette();
    const QChart::ChartTheme theme = isDark(p) ? QChart::ChartThemeDark : QChart::ChartThemeLight;
    if (chart_->theme() != theme)
        chart_->setTheme(theme);
    chart_->setBackgroundBrush(p.color(QPalette::Window));
    chart_->setTitleBrush(p.color(QPalette::WindowText));
    chart_->legend()->setLabelColor(p.color(QPalette::WindowText));
    QFont titleFont = font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    chart_->setTitleFont(titleFont);
    view_->setBackgroundBrush(p.color(QPalette::Window));
}

void RateChart::addSeries(const RateSeries &series) {
    const QColor colour = kindColour(series.kind, isDark(palette()));
    const QString name = QString::fromStdString(series.name);

    // One legend entry per kind, "Write — fitted 512.3 MB/s": on the dashed line when there is
    // one, else on the median line.
    const QString legend = tr("%1 — %2").arg(name, fittedText(series));
    auto *each = new QScatterSeries;
    each->setName(tr("%1 — each file").arg(name));
    each->append(chartPoints(thinned(series.points, maxDotsPerKind)));
    auto *median = new QLineSeries;
    median->setName(tr("%1 — median per size").arg(name));
    median->append(chartPoints(thinned(series.medians, maxLinePoints)));
    QLineSeries *fitted = nullptr;
    if (!series.fitted.empty()) {
        fitted = new QLineSeries;
        fitted->setName(legend);
        fitted->append(chartPoints(thinned(series.fitted, maxLinePoints)));
    } else {
        median->setName(legend);
    }

    for (QAbstractSeries *s : std::initializer_list<QAbstractSeries *>{each, median, fitted})
        if (s)
            attach(s);
    // Styles go after addSeries: adding a series gives it the theme's colours.
    QColor faint = colour;
    faint.setAlphaF(0.35f);
    each->setColor(faint);
    each->setBorderColor(Qt::transparent);
    each->setMarkerSize(7.0);
    for (QAbstractSeries *unnamed : {static_cast<QAbstractSeries *>(each),
                                     static_cast<QAbstractSeries *>(fitted ? median : nullptr)})
        for (QLegendMarker *marker : chart_->legend()->markers(unnamed))
            marker->setVisible(false);
    median->setPen(QPen(colour, 2.0));
    median->setPointsVisible(series.medians.size() <= maxMarkedPoints);
    median->setMarkerSize(7.0);
    if (fitted) {
        QPen dashed(colour, 1.5, Qt::DashLine);
        fitted->setPen(dashed);
    }
}

void RateChart::addComparedSeries(const RateSeries &series, const QString &label,
                                  Qt::PenStyle style) {
    auto *median = new QLineSeries;
    median->setName(tr("%1 — %2").arg(QString::fromStdString(series.name), label));
    median->append(chartPoints(thinned(series.medians, maxLinePoints)));
    attach(median);
    median->setPen(QPen(kindColour(series.kind, isDark(palette())), 2.0, style));
}

void RateChart::attach(QAbstractSeries *series) {
    chart_->addSeries(series);
    for (QAbstractAxis *axis : chart_->axes())
        series->attachAxis(axis);
}

QImage RateChart::renderImage() {
    QSize size = view_->size();
    if (!view_->isVisible() || size.width() < 400 || size.height() < 300)
        size = exportSize;
    const qreal ratio = std::max<qreal>(devicePixelRatioF(), 1.0);
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.setDevicePixelRatio(ratio);
    image.fill(palette().color(QPalette::Window));

    // The chart lays itself out for the image's size and goes back to the view's size after.
    const QSizeF shown = chart_->size();
    chart_->resize(size);
    chart_->layout()->activate();
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        view_->scene()->render(&painter, QRectF(QPointF(0, 0), size),
                               QRectF(chart_->pos(), QSizeF(size)));
    }
    chart_->resize(shown);
    chart_->layout()->activate();
    return image;
}

bool RateChart::savePng(SysCalls &calls, const QString &path, QString *error) {
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (!hasData())
        return fail(tr("There is no chart to save yet: run a multi-file test first."));
    const QImage image = renderImage();
    QByteArray png;
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return fail(tr("The chart could not be drawn."));
    const std::optional<std::string> failure =
        saveUserFile(calls, "chart", QFile::encodeName(path).toStdString(),
                     std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
    if (failure)
        return fail(QString::fromStdString(*failure));
    return true;
}

std::vector<std::pair<double, QString>> RateChart::sizeTicks(double lowBytes, double highBytes) {
    std::vector<std::pair<double, QString>> ticks;
    if (!(lowBytes > 0.0) || !(highBytes >= lowBytes) || !std::isfinite(highBytes))
        return ticks;
    const double low = std::log10(lowBytes);
    const double high = std::log10(highBytes);
    const double span = high - low;
    // Wide ranges get a label every decade (or every few), medium ones at 1, 2 and 5, narrow
    // ones at every digit, so that labels neither crowd nor leave the axis bare.
    static constexpr std::array<int, 1> decades = {1};
    static constexpr std::array<int, 3> oneTwoFive = {1, 2, 5};
    static constexpr std::array<int, 9> digits = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::vector<int> mantissas;
    int decadeStep = 1;
    if (span > 3.4) {
        mantissas.assign(decades.begin(), decades.end());
        decadeStep = std::max(1, static_cast<int>(std::ceil(span / 8.0)));
    } else if (span > 0.9) {
        mantissas.assign(oneTwoFive.begin(), oneTwoFive.end());
    } else {
        mantissas.assign(digits.begin(), digits.end());
    }
    const int first = static_cast<int>(std::floor(low));
    const int last = static_cast<int>(std::ceil(high));
    for (int exponent = first; exponent <= last; ++exponent) {
        if ((exponent - first) % decadeStep != 0)
            continue;
        for (const int m : mantissas) {
            const double value = std::log10(m) + exponent;
            if (value > low && value < high)
                ticks.emplace_back(value, sizeLabel(m * std::pow(10.0, exponent)));
        }
    }
    return ticks;
}

QString RateChart::sizeLabel(double bytes) {
    static constexpr std::array<const char *, 6> units = {"kB", "MB", "GB", "TB", "PB", "EB"};
    if (!std::isfinite(bytes) || bytes < 0.0)
        return QString();
    const long long whole = std::llround(bytes);
    if (whole < 1000)
        return whole == 1 ? tr("1 byte") : tr("%1 bytes").arg(whole);
    double figure = bytes / 1000.0;
    std::size_t unit = 0;
    while (figure >= 999.5 && unit + 1 < units.size()) {
        figure /= 1000.0;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(QString::number(figure, 'g', 3), units[unit]);
}

} // namespace quorlan
