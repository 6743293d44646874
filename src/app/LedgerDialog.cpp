// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LedgerDialog.hpp"

#include "text/NumberText.hpp"
#include "ui/Folders.hpp"

#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace logora::app {

namespace {

QString qs(std::u16string_view t) {
    return QString::fromUtf16(t.data(), static_cast<qsizetype>(t.size()));
}

enum Period { AllDates, Today, ThisMonth, Range };

} // namespace

int LedgerModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(view_.rowCount());
}

int LedgerModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(view_.columns().size());
}

QVariant LedgerModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
    case Qt::DisplayRole: {
        const std::vector<std::u16string> texts = view_.row(row);
        const auto column = static_cast<std::size_t>(index.column());
        return column < texts.size() ? qs(texts[column]) : QVariant();
    }
    case Qt::TextAlignmentRole:
        return ledger::LedgerView::figureColumn(
                   view_.columns()[static_cast<std::size_t>(index.column())])
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        if (const ledger::BillRecord* r = view_.bill(row); r != nullptr && r->voided) {
            return QColor(Qt::gray); // listed, but in no total
        }
        return {};
    default:
        return {};
    }
}

QVariant LedgerModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole &&
        section < static_cast<int>(view_.columns().size())) {
        return qs(view_.columns()[static_cast<std::size_t>(section)]);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

LedgerDialog::LedgerDialog(ledger::LedgerStore& store, exporting::Spreadsheet& spreadsheet,
                           const exporting::BillFolder& bills, exporting::ExportPrompts& prompts)
    : view_(store), spreadsheet_(spreadsheet), bills_(bills), prompts_(prompts), model_(view_) {
    setWindowTitle(QStringLiteral("账单记录"));
    openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    askReason = [this](const QString& question) {
        return QInputDialog::getText(this, QStringLiteral("作废"), question);
    };

    find_ = new QLineEdit;
    find_->setPlaceholderText(QStringLiteral("单号、单位、车号、树种……"));
    find_->setClearButtonEnabled(true);
    period_ = new QComboBox;
    period_->addItems({QStringLiteral("全部日期"), QStringLiteral("今天"), QStringLiteral("本月"),
                       QStringLiteral("日期范围")});
    const QDate today = QDate::currentDate();
    from_ = new QDateEdit(QDate(today.year(), today.month(), 1));
    to_ = new QDateEdit(today);
    for (QDateEdit* d : {from_, to_}) {
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setCalendarPopup(true);
        d->setEnabled(false);
    }
    sheet_ = new QComboBox;
    for (const std::u16string& s : ledger::LedgerView::sheetChoices()) {
        sheet_->addItem(qs(s));
    }
    grouping_ = new QComboBox;

    table_ = new QTableView;
    table_->setModel(&model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->installEventFilter(this);
    totals_ = new QLabel;
    state_ = new QLabel;
    state_->setWordWrap(true);
    state_->hide();

    yard_ = new QPushButton(QStringLiteral("共享账本…"));
    open_ = new QPushButton(QStringLiteral("打开"));
    void_ = new QPushButton(QStringLiteral("作废…"));
    summary_ = new QPushButton(QStringLiteral("导出汇总"));
    close_ = new QPushButton(QStringLiteral("关闭"));
    for (QPushButton* b : {yard_, open_, void_, summary_, close_}) {
        b->setAutoDefault(false); // Enter in the find field filters, it presses nothing
    }

    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("查找")));
    filters->addWidget(find_, 2);
    filters->addWidget(period_);
    filters->addWidget(from_);
    filters->addWidget(new QLabel(QStringLiteral("至")));
    filters->addWidget(to_);
    filters->addWidget(sheet_);
    filters->addWidget(grouping_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(totals_, 1);
    for (QPushButton* b : {yard_, open_, void_, summary_, close_}) {
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(table_, 1);
    layout->addWidget(state_);
    layout->addLayout(buttons);
    setTabOrder(find_, period_);
    resize(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 110, fontMetrics().height() * 34);

    connect(find_, &QLineEdit::textChanged, this, &LedgerDialog::filterChanged);
    connect(find_, &QLineEdit::returnPressed, this, [this] {
        table_->setFocus();
        if (model_.rowCount() > 0 && !table_->currentIndex().isValid()) {
            table_->selectRow(0);
        }
    });
    connect(period_, &QComboBox::currentIndexChanged, this, [this](int period) {
        from_->setEnabled(period == Range);
        to_->setEnabled(period == Range);
        filterChanged();
    });
    connect(from_, &QDateEdit::dateChanged, this, &LedgerDialog::filterChanged);
    connect(to_, &QDateEdit::dateChanged, this, &LedgerDialog::filterChanged);
    connect(sheet_, &QComboBox::currentIndexChanged, this, &LedgerDialog::filterChanged);
    connect(grouping_, &QComboBox::currentIndexChanged, this, [this](int i) {
        const auto choices = view_.viewChoices();
        if (i >= 0 && i < static_cast<int>(choices.size())) {
            view_.setView(choices[static_cast<std::size_t>(i)].second);
            viewsChanged();
        }
    });
    connect(table_, &QTableView::doubleClicked, this, [this] { openCurrent(); });
    connect(open_, &QPushButton::clicked, this, &LedgerDialog::openCurrent);
    connect(void_, &QPushButton::clicked, this, &LedgerDialog::voidCurrent);
    connect(summary_, &QPushButton::clicked, this,
            [this] { view_.exportSummary(spreadsheet_, bills_, prompts_); });
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    connect(yard_, &QPushButton::clicked, this, [this] {
        if (onYard) {
            onYard();
        }
    });
    reload();
    find_->setFocus();
}

void LedgerDialog::say(const std::u16string& text) {
    prompts_.failed(text);
}

void LedgerDialog::reload() {
    if (const std::optional<std::u16string> problem = view_.reload()) {
        say(*problem);
    }
    state_->setText(qs(view_.stateLine()));
    state_->setVisible(!view_.stateLine().empty());
    // The party views follow the captions the records hold.
    const ledger::View current = view_.view();
    const QSignalBlocker block(grouping_);
    grouping_->clear();
    int keep = 0;
    const auto choices = view_.viewChoices();
    for (std::size_t i = 0; i < choices.size(); ++i) {
        grouping_->addItem(qs(choices[i].first));
        if (choices[i].second == current) {
            keep = static_cast<int>(i);
        }
    }
    grouping_->setCurrentIndex(keep);
    view_.setView(choices[static_cast<std::size_t>(keep)].second);
    filterChanged();
}

void LedgerDialog::filterChanged() {
    ledger::Filter f;
    const std::string today = ui::localNow("%Y-%m-%d");
    switch (period_->currentIndex()) {
    case Today:
        f = ledger::todayFilter(today);
        break;
    case ThisMonth:
        f = ledger::thisMonthFilter(today);
        break;
    case Range:
        f.from = from_->date().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
        f.to = to_->date().toString(QStringLiteral("yyyy-MM-dd")).toStdString();
        break;
    default:
        break;
    }
    f.text = find_->text().trimmed().toStdU16String();
    if (sheet_->currentIndex() > 0) {
        f.sheet = sheet_->currentText().toStdU16String();
    }
    view_.setFilter(std::move(f));
    viewsChanged();
}

void LedgerDialog::viewsChanged() {
    model_.changed();
    // Widths by the texts a column holds at most, not by scanning every row.
    const QFontMetrics m = table_->fontMetrics();
    const auto& columns = view_.columns();
    for (std::size_t c = 0; c < columns.size(); ++c) {
        // The wider of the caption and what the column holds.
        const QString name = qs(columns[c]);
        const QString sample = qs(ledger::LedgerView::widestText(columns[c]));
        const int widest = std::max(m.horizontalAdvance(name), m.horizontalAdvance(sample));
        table_->setColumnWidth(static_cast<int>(c), widest + 16);
    }
    totals_->setText(qs(view_.totalsLine()));
    const bool bills = !view_.view().grouping;
    open_->setEnabled(bills);
    void_->setEnabled(bills);
}

int LedgerDialog::currentRow() const {
    const QModelIndex i = table_->currentIndex();
    return i.isValid() ? i.row() : -1;
}

void LedgerDialog::openCurrent() {
    const int row = currentRow();
    if (row < 0) {
        return;
    }
    const ledger::LedgerView::Opening o = view_.opening(static_cast<std::size_t>(row));
    if (!o.problem.empty()) {
        say(o.problem);
        return;
    }
    const QUrl url = QUrl::fromLocalFile(QString::fromStdU16String(o.file.u16string()));
    if (!openUrl(url)) {
        say(u"无法打开 " + o.file.u16string() + u"。请在文件管理器里打开它。");
    }
}

void LedgerDialog::voidCurrent() {
    const int row = currentRow();
    const ledger::BillRecord* r = row < 0 ? nullptr : view_.bill(static_cast<std::size_t>(row));
    if (r == nullptr) {
        return;
    }
    const std::string number = r->number; // the dialog's repaints may show another page
    const QString reason =
        askReason(QStringLiteral("把账单 %1 作废。它仍然列出，但不再计入任何合计。作废的原因：")
                      .arg(QString::fromStdString(number)))
            .trimmed();
    if (reason.isEmpty()) {
        return;
    }
    if (const auto problem =
            view_.markVoid(static_cast<std::size_t>(row), reason.toStdU16String())) {
        say(*problem);
    }
    viewsChanged();
    // A void bill stays listed where it was: the same row is selected again.
    const auto at = static_cast<std::size_t>(row);
    if (view_.bill(at) != nullptr && view_.bill(at)->number == number) {
        table_->selectRow(row);
    }
}

bool LedgerDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openCurrent();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace logora::app
