#include "app/ControlPanel.h"

#include "app/FieldHint.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quorlan {

namespace {

int checkBoxState(const QCheckBox *box) {
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return -1;
    case Qt::Unchecked:
        break;
    }
    return 0;
}

void setCheckBoxState(QCheckBox *box, int state) {
    box->setCheckState(state == 1    ? Qt::Checked
                       : state == -1 ? Qt::PartiallyChecked
                                     : Qt::Unchecked);
}

template <std::size_t N>
void setTitles(QComboBox *popup, const std::array<std::string_view, N> &titles) {
    popup->clear();
    for (const std::string_view title : titles)
        popup->addItem(QString::fromLatin1(title.data(), static_cast<qsizetype>(title.size())));
}

template <typename Widget> Widget *named(Widget *widget, const char *name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

ControlPanel::ControlPanel(QWidget *parent)
    : QWidget(parent), filesizeTextbox_(named(new QLineEdit, "filesizeTextbox")),
      sizePopup_(named(new QComboBox, "sizePopup")),
      contentPopup_(named(new QComboBox, "contentPopup")),
      repeatsTextbox_(named(new QLineEdit, "repeatsTextbox")),
      lengthTextbox_(named(new QLineEdit, "lengthTextbox")),
      noCacheCheckbox_(named(new QCheckBox(tr("Bypass the cache on reads")), "noCacheCheckbox")),
      isVerboseCheckbox_(
          named(new QCheckBox(tr("Verbose: a line for every file")), "isVerboseCheckbox")),
      isRandomSizes_(named(new QCheckBox(tr("Random sizes")), "isRandomSizes")),
      fieldHint_(named(new QLabel, "fieldHint")) {
    filesizeTextbox_->setToolTip(tr("Size of the file that Write File writes (decimal units)"));
    contentPopup_->setToolTip(tr("The byte every written test file is filled with"));
    repeatsTextbox_->setToolTip(tr("Passes of the multi-file and mixed tests"));
    lengthTextbox_->setToolTip(tr("Files in each pass when Random sizes is on"));

    auto *sizeRow = new QHBoxLayout;
    sizeRow->addWidget(filesizeTextbox_, 1);
    sizeRow->addWidget(sizePopup_);
    auto *fileBox = new QGroupBox(tr("Test files"));
    auto *fileForm = new QFormLayout(fileBox);
    fileForm->addRow(tr("File size"), sizeRow);
    fileForm->addRow(tr("Fill byte"), contentPopup_);

    auto *runBox = new QGroupBox(tr("Series of files"));
    auto *runForm = new QFormLayout(runBox);
    runForm->addRow(tr("Repeats"), repeatsTextbox_);
    runForm->addRow(tr("Files per random pass"), lengthTextbox_);
    runForm->addRow(isRandomSizes_);
    runForm->addRow(noCacheCheckbox_);
    runForm->addRow(isVerboseCheckbox_);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(fileBox);
    column->addWidget(runBox);

    fieldHint_->setWordWrap(true);
    fieldHint_->setTextFormat(Qt::PlainText);
    fieldHint_->hide();
    column->addWidget(fieldHint_);
    for (QLineEdit *field : {filesizeTextbox_, repeatsTextbox_, lengthTextbox_})
        connect(field, &QLineEdit::textChanged, this, &ControlPanel::updateFieldHint);
    connect(sizePopup_, &QComboBox::currentIndexChanged, this, &ControlPanel::updateFieldHint);
}

void ControlPanel::updateFieldHint() {
    const QString hint = fieldHint(settings());
    fieldHint_->setText(hint);
    fieldHint_->setVisible(!hint.isEmpty());
}

void ControlPanel::loadTitles() {
    setTitles(sizePopup_, sizeList);
    setTitles(contentPopup_, contentList);
}

int ControlPanel::sizeItemCount() const {
    return sizePopup_->count();
}

int ControlPanel::contentItemCount() const {
    return contentPopup_->count();
}

PanelSettings ControlPanel::settings() const {
    PanelSettings panel;
    panel.filesize = filesizeTextbox_->text().toStdString();
    panel.sizeIndex = sizePopup_->currentIndex();
    panel.contentIndex = contentPopup_->currentIndex();
    panel.repeats = repeatsTextbox_->text().toStdString();
    panel.length = lengthTextbox_->text().toStdString();
    panel.noCache = checkBoxState(noCacheCheckbox_);
    panel.verbose = checkBoxState(isVerboseCheckbox_);
    panel.isRandom = checkBoxState(isRandomSizes_);
    return panel;
}

void ControlPanel::setSettings(const PanelSettings &panel) {
    filesizeTextbox_->setText(QString::fromStdString(panel.filesize));
    sizePopup_->setCurrentIndex(panel.sizeIndex);
    contentPopup_->setCurrentIndex(panel.contentIndex);
    repeatsTextbox_->setText(QString::fromStdString(panel.repeats));
    lengthTextbox_->setText(QString::fromStdString(panel.length));
    setCheckBoxState(noCacheCheckbox_, panel.noCache);
    setCheckBoxState(isVerboseCheckbox_, panel.verbose);
    setCheckBoxState(isRandomSizes_, panel.isRandom);
}

void ControlPanel::setLocked(bool locked) {
    for (QWidget *control : std::initializer_list<QWidget *>{
             filesizeTextbox_, sizePopup_, contentPopup_, repeatsTextbox_, lengthTextbox_,
             noCacheCheckbox_, isVerboseCheckbox_, isRandomSizes_})
        control->setEnabled(!locked);
}

} // namespace quorlan
