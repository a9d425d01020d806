#include "app/CAddressBar.h"

#include "frame/Addresses.h"
#include "frame/CommandIds.h"
#include "frame/FrameInterface.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTimer>

namespace {
const QString kTypedUrls = QStringLiteral("TypedUrls");

QIcon webPageIcon() { return QIcon(QStringLiteral(":/icons/tab/page-done.svg")); }

// The list's own keyboard and focus handling would "choose" an entry on
// every arrow key and whenever typed text happens to equal an entry; only
// a pick from the opened list counts as a choice here.
class CAddressCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    bool picking = false;

protected:
    void showPopup() override {
        picking = true;
        QComboBox::showPopup();
    }
    void hidePopup() override {
        QComboBox::hidePopup();
        QTimer::singleShot(0, this, [this] { picking = false; });
    }
};
} // namespace

CAddressBar::CAddressBar(kelvor::app::IMainFrame* frame, QWidget* parent)
    : QToolBar(QStringLiteral("地址栏"), parent), frame_(frame) {
    setObjectName(QStringLiteral("addressBar"));
    setIconSize(QSize(18, 18));
    auto* label = new QLabel(QStringLiteral("地址:"), this);
    label->setContentsMargins(4, 0, 4, 0);
    addWidget(label);

    auto* box = new CAddressCombo(this);
    combo = box;
    combo->setObjectName(QStringLiteral("addressCombo"));
    combo->setEditable(true);
    // No completion: Enter goes to exactly what was typed, and a path that
    // differs from a listed one only in case is another address.
    combo->setCompleter(nullptr);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMaxVisibleItems(20);
    combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    combo->setMinimumWidth(200);
    combo->setIconSize(QSize(16, 16));
    combo->lineEdit()->setPlaceholderText(QStringLiteral("输入网址或文件路径，按回车打开"));
    label->setBuddy(combo);
    addWidget(combo);

    QAction* go = addAction(QIcon(QStringLiteral(":/icons/address/go.svg")), QStringLiteral("Go"));
    go->setToolTip(QStringLiteral("Go"));
    go->setData(kelvor::cmd::kGo);
    QAction* closePage = addAction(QIcon(QStringLiteral(":/icons/address/close-page.svg")), QStringLiteral("关闭当前窗口"));
    closePage->setData(kelvor::cmd::kClosePage);

    connect(combo->lineEdit(), &QLineEdit::returnPressed, this, &CAddressBar::OnGo);
    connect(combo, qOverload<int>(&QComboBox::activated), this, [this, box](int index) {
        if (box->picking)
            OnSelEndOk(index);
    });
}

int CAddressBar::FindItem(int start, const QString& text) const {
    for (int i = std::max(0, start + 1); i < combo->count(); ++i)
        if (combo->itemText(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString CAddressBar::GetItemText(int index) const {
    if (index < 0 || index >= combo->count())
        return QString();
    return combo->itemText(index);
}

void CAddressBar::SetAddressText(const QString& text) {
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
}

void CAddressBar::insertAddress(int index, const QString& text) { combo->insertItem(index, webPageIcon(), text); }

void CAddressBar::OnGo() {
    combo->setFocus();
    QString address = combo->currentText().trimmed();
    SetAddressText(address);
    if (frame_)
        frame_->NavigateTo(address.toStdString());
    if (FindItem(-1, address) >= 0)
        return;
    QString variant = address.endsWith(QLatin1Char('/')) ? address.chopped(1) : address + QLatin1Char('/');
    if (FindItem(-1, variant) >= 0)
        return;
    insertAddress(0, address);
    SetAddressText(address);
}

void CAddressBar::OnSelEndOk(int index) {
    if (index >= 0 && frame_)
        frame_->NavigateTo(GetItemText(index).toStdString());
}

// Loading stops at the first missing number; empty values are skipped. A
// first run (no history saved yet) starts with an empty list.
void CAddressBar::LoadTypedUrls() {
    QSettings settings;
    if (!settings.childGroups().contains(kTypedUrls))
        return;
    settings.beginGroup(kTypedUrls);
    for (int n = 1;; ++n) {
        QString key = QStringLiteral("url%1").arg(n);
        if (!settings.contains(key))
            break;
        QString address = settings.value(key).toString();
        if (!address.isEmpty())
            insertAddress(combo->count(), address);
    }
    settings.endGroup();
    if (FindItem(-1, QString::fromUtf8(kelvor::addr::kDefaultHomePage)) < 0)
        insertAddress(0, QString::fromUtf8(kelvor::addr::kDefaultHomePage));
    combo->setCurrentIndex(-1);
}

// The group is replaced as a whole. "count" keeps it in the file even when
// nothing was typed, so the next run is not taken for a first run.
void CAddressBar::SaveTypedUrls() {
    QSettings settings;
    settings.remove(kTypedUrls);
    settings.beginGroup(kTypedUrls);
    int saved = 0;
    int count = std::min(combo->count(), kMaxSavedUrls);
    for (int i = 0; i < count; ++i) {
        QString address = GetItemText(i);
        if (!address.isEmpty())
            settings.setValue(QStringLiteral("url%1").arg(++saved), address);
    }
    settings.setValue(QStringLiteral("count"), saved);
    settings.endGroup();
}
