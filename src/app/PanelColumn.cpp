#include "app/PanelColumn.h"

#include "app/ControlPanel.h"

#include <QAction>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorlan {

namespace {

QLineEdit *resultField(const char *name) {
    auto *field = new QLineEdit;
    field->setObjectName(QLatin1String(name));
    field->setReadOnly(true);
    field->setPlaceholderText(PanelColumn::tr("no result yet"));
    return field;
}

} // namespace

PanelColumn::PanelColumn(const std::vector<QAction *> &tests, QWidget *parent)
    : QScrollArea(parent), panel_(new ControlPanel),
      writeResultTextbox_(resultField("writeResultTextbox")),
      readResultTextbox_(resultField("readResultTextbox")) {
    auto *testBox = new QGroupBox(tr("Tests"));
    auto *testColumn = new QVBoxLayout(testBox);
    for (QAction *test : tests) {
        auto *button = new QPushButton(test->text());
        connect(button, &QPushButton::clicked, test, &QAction::trigger);
        testColumn->addWidget(button);
        testButtons_.push_back(button);
    }
    auto *resultBox = new QGroupBox(tr("Results"));
    auto *resultForm = new QFormLayout(resultBox);
    resultForm->addRow(tr("Write"), writeResultTextbox_);
    resultForm->addRow(tr("Read"), readResultTextbox_);

    auto *column = new QWidget;
    auto *layout = new QVBoxLayout(column);
    layout->addWidget(panel_);
    layout->addWidget(testBox);
    layout->addWidget(resultBox);
    layout->addStretch(1);
    setWidget(column);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setMinimumWidth(column->sizeHint().width() + 24);
}

void PanelColumn::setLocked(bool locked) {
    panel_->setLocked(locked);
    for (QPushButton *button : testButtons_)
        button->setEnabled(!locked);
}

void PanelColumn::showWriteResult(const QString &text, const QString &why) {
    writeResultTextbox_->setText(text);
    writeResultTextbox_->setToolTip(why);
}

void PanelColumn::showReadResult(const QString &text, const QString &why) {
    readResultTextbox_->setText(text);
    readResultTextbox_->setToolTip(why);
}

} // namespace quorlan
