// Time to show the chart of a large run: rateChartData over an Analyser of N reads (sizes spread
// over 10 kB to 2 GB, so nearly every size is distinct), setData, and one rendered picture of the
// widget. Prints the median of the runs in milliseconds, and as the reference a bare QChart with
// one scatter series of as many dots as the chart draws at most (RateChart::maxDotsPerKind),
// rendered the same way: Qt Charts itself needs seconds for 20,000 dots.
// Usage: chart-bench [RESULTS] [RUNS]   (defaults 100000 and 5)
#include "analysis/Analyser.h"
#include "analysis/RateChartData.h"
#include "app/RateChart.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QScatterSeries>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

quorlan::Analyser largeRun(int results) {
    quorlan::Analyser analyser;
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> decades(4.0, 9.3);
    std::uniform_real_distribution<double> speed(0.5e9, 3e9);
    for (int i = 0; i < results; ++i) {
        const auto size = static_cast<std::int64_t>(std::pow(10.0, decades(random)));
        const double time = 1e-4 + static_cast<double>(size) / speed(random);
        analyser.addResult(quorlan::ResultKind::Read, size, time, static_cast<double>(size) / time);
    }
    return analyser;
}

double chartRun(const quorlan::Analyser &analyser) {
    quorlan::RateChart chart;
    chart.resize(1000, 620);
    chart.show();
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    chart.setData(quorlan::rateChartData(analyser));
    const QPixmap picture = chart.grab();
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    return picture.isNull() ? -1.0 : ms;
}

double bareRun(const quorlan::Analyser &analyser) {
    QChartView view;
    view.resize(1000, 620);
    view.show();
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    auto *series = new QScatterSeries;
    QList<QPointF> points;
    for (const quorlan::Result &r : analyser.theReads1) {
        if (static_cast<std::size_t>(points.size()) == quorlan::RateChart::maxDotsPerKind)
            break;
        points.append(QPointF(std::log10(static_cast<double>(r.size)), r.rate / 1e6));
    }
    series->replace(points);
    view.chart()->addSeries(series);
    view.chart()->createDefaultAxes();
    const QPixmap picture = view.grab();
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    return picture.isNull() ? -1.0 : ms;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    const int results = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const quorlan::Analyser analyser = largeRun(results);
    std::vector<double> chart, bare;
    for (int i = 0; i < runs; ++i) { // alternated, so both see the same machine
        chart.push_back(chartRun(analyser));
        bare.push_back(bareRun(analyser));
    }
    std::printf("%d results: chart %.1f ms, bare chart of %zu dots %.1f ms (medians of %d)\n",
                results, median(chart), quorlan::RateChart::maxDotsPerKind, median(bare), runs);
    return 0;
}
