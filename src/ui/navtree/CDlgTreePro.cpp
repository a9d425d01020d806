#include "navtree/CDlgTreePro.h"

#include "feeds/ChannelProbe.h"
#include "frame/FrameInterface.h"
#include "platform/HttpFetch.h"
#include "tree/Strings.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>

namespace {

CDlgTreePro::ModalRunner& modalRunner() {
    static CDlgTreePro::ModalRunner runner;
    return runner;
}

// The dialog was drawn in dialog units: a quarter of the average character
// width across, and (for the font it was drawn with, 6 x 13 pixels) 13/12 of
// that down. Measuring the width in the font in use keeps its size and
// proportions; the height follows the width because CJK fonts have a much
// taller line than the original font, which would stretch the dialog.
struct DialogUnits {
    double x, y;
    int w(double units) const { return static_cast<int>(std::lround(units * x)); }
    int h(double units) const { return static_cast<int>(std::lround(units * y)); }
};

DialogUnits dialogUnits(const QFontMetrics& metrics) {
    const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    double average = metrics.horizontalAdvance(sample) / double(sample.size());
    return {average / 4.0, average / 4.0 * 13.0 / 12.0};
}

QLabel* centredLabel(const QString& text, int width) {
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    label->setFixedWidth(width);
    return label;
}

QString qs(const std::string& text) { return QString::fromStdString(text); }
std::string ss(const QString& text) { return text.toStdString(); }

const QString kHint = QStringLiteral("输入“*”删除属性");
const QString kCheckingHint = QStringLiteral("正在读取频道…");

} // namespace

// One look at a typed address, shared by the dialog and the thread doing it.
// The thread touches nothing else: it reports through this object, which
// lives on the dialog's thread and is deleted there, so a dialog closed
// meanwhile simply never hears of the result.
class CDlgTreePro::FeedCheck : public QObject {
public:
    explicit FeedCheck(std::string typed) : address(std::move(typed)) {}
    const std::string address;
    std::atomic<bool> cancel{false};
    QPointer<CDlgTreePro> dialog; // read on the dialog's thread only
};

void CDlgTreePro::setModalRunner(ModalRunner runner) { modalRunner() = std::move(runner); }

CDlgTreePro::CDlgTreePro(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("属性"));
    setModal(true);
    setSizeGripEnabled(false);
    buildControls();
    // However the dialog ends (取消, Esc, the close button), a check still
    // running is of no more use.
    connect(this, &QDialog::finished, this, &CDlgTreePro::dropFeedCheck);
}

CDlgTreePro::~CDlgTreePro() { dropFeedCheck(); }

void CDlgTreePro::buildControls() {
    DialogUnits du = dialogUnits(fontMetrics());
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(du.w(5), du.h(5), du.w(5), du.h(5));
    grid->setHorizontalSpacing(du.w(4));
    grid->setVerticalSpacing(du.h(5));

    titleBox_ = new QLineEdit;
    hrefBox_ = new QLineEdit;
    rssBox_ = new QLineEdit;
    titleBox_->setMinimumWidth(du.w(144));
    grid->addWidget(centredLabel(QStringLiteral("显示标题："), du.w(45)), 0, 0);
    grid->addWidget(titleBox_, 0, 1);
    grid->addWidget(centredLabel(QStringLiteral("网站地址："), du.w(45)), 1, 0);
    grid->addWidget(hrefBox_, 1, 1);
    grid->addWidget(centredLabel(QStringLiteral("RSS/OPML："), du.w(45)), 2, 0);
    grid->addWidget(rssBox_, 2, 1);

    auto* descGroup = new QGroupBox(QStringLiteral("描述"));
    auto* descLayout = new QVBoxLayout(descGroup);
    descBox_ = new QPlainTextEdit;
    descBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    descBox_->setMinimumHeight(du.h(57));
    descBox_->setTabChangesFocus(true);
    descLayout->addWidget(descBox_);
    grid->addWidget(descGroup, 3, 0, 1, 2);
    grid->setRowStretch(3, 1);

    auto* saveGroup = new QGroupBox(QStringLiteral("保存方式"));
    auto* saveLayout = new QVBoxLayout(saveGroup);
    auto* radios = new QHBoxLayout;
    radios->setContentsMargins(du.w(12), 0, 0, 0);
    saveModes_ = new QButtonGroup(this);
    const char* radioTexts[] = {"当前项", "子项目", "收藏夹", "热点类"};
    for (int i = 0; i < 4; ++i) {
        auto* button = new QRadioButton(QString::fromUtf8(radioTexts[i]));
        button->setMinimumWidth(du.w(40));
        saveModes_->addButton(button, kCurrentItemRadio + i);
        radios->addWidget(button);
    }
    radios->addStretch();
    saveLayout->addLayout(radios);
    auto* fileRow = new QHBoxLayout;
    fileRow->setContentsMargins(du.w(8), 0, 0, 0);
    fileNameBox_ = new QLineEdit;
    fileRow->addWidget(centredLabel(QStringLiteral("文件名："), du.w(32)));
    fileRow->addWidget(fileNameBox_, 1);
    saveLayout->addLayout(fileRow);
    grid->addWidget(saveGroup, 4, 0, 1, 2);
    connect(saveModes_, &QButtonGroup::idClicked, this, &CDlgTreePro::OnRadio);

    auto* buttons = new QHBoxLayout;
    hintLabel_ = new QLabel(kHint);
    buttons->addWidget(hintLabel_);
    buttons->addStretch();
    okButton_ = new QPushButton(QStringLiteral("确定"));
    auto* cancel = cancelButton_ = new QPushButton(QStringLiteral("取消"));
    okButton_->setDefault(true);
    okButton_->setMinimumWidth(du.w(50));
    cancel->setMinimumWidth(du.w(50));
    buttons->addWidget(okButton_);
    buttons->addSpacing(du.w(10));
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 5, 0, 1, 2);
    connect(okButton_, &QPushButton::clicked, this, &CDlgTreePro::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    QSize designed(du.w(203), du.h(207));
    resize(designed.expandedTo(minimumSizeHint()));
}

QRadioButton* CDlgTreePro::radio(int id) const { return static_cast<QRadioButton*>(saveModes_->button(id)); }

void CDlgTreePro::OnInitDialog() {
    saveMode = 1;
    radio(kCurrentItemRadio)->setChecked(true);
    titleBox_->setText(qs(title));
    hrefBox_->setText(qs(href));
    fileNameBox_->setText(qs(fileName));
    fileNameBox_->setEnabled(!fileName.empty());
    if (!fileName.empty()) // only marks the kind; saveMode stays 1
        radio(treeType == "hot" ? kHotRadio : kFavoritesRadio)->setChecked(true);
    rssBox_->setText(qs(rss));
    shownRss_ = rss;
    radio(kChildItemRadio)->setEnabled(rss.empty());
    descBox_->setPlainText(qs(desc));
    setWindowTitle(title.empty() ? QStringLiteral("新建一个项目") : qs(baseUrl));
    okButton_->setEnabled(okEnabled);
    titleBox_->setFocus();
}

int CDlgTreePro::DoModal() {
    OnInitDialog();
    if (modalRunner())
        return modalRunner()(*this);
    return exec() == QDialog::Accepted ? kIdOk : kIdCancel;
}

void CDlgTreePro::OnRadio(int id) {
    saveMode = id - kCurrentItemRadio + 1;
    bool category = id == kFavoritesRadio || id == kHotRadio;
    fileNameBox_->setEnabled(category);
    if (category)
        proposeFileName();
}

void CDlgTreePro::proposeFileName() {
    if (!fileName.empty())
        return; // an existing NodeSrc, or a name proposed by an earlier click
    title = ss(titleBox_->text());
    fileName = title.empty() ? "/fav/请输入文件名.xml" : "/fav/" + title + ".xml";
    fileNameBox_->setText(qs(fileName));
}

void CDlgTreePro::OnOK() {
    if (check_)
        return; // its answer finishes this OK
    title = ss(titleBox_->text());
    href = ss(hrefBox_->text());
    fileName = ss(fileNameBox_->text()); // also from a disabled box
    rss = ss(rssBox_->text());
    // A new feed address is read first: it may give the title.
    if (rss != shownRss_ && kelvor::net::isWebAddress(rss)) {
        startFeedCheck();
        return;
    }
    if (title.empty()) {
        kelvor::app::messageBox(kelvor::str::kEmptyTitle);
        titleBox_->setFocus();
        return;
    }
    desc = ss(descBox_->toPlainText());
    if (!mayUseCategoryFile()) {
        fileNameBox_->setFocus();
        fileNameBox_->selectAll();
        return;
    }
    accept();
}

void CDlgTreePro::startFeedCheck() {
    std::shared_ptr<FeedCheck> check(new FeedCheck(rss), [](FeedCheck* done) {
        done->deleteLater(); // whichever thread lets go of it last
    });
    check->dialog = this;
    // A page that does not answer soon is taken as typed.
    kelvor::xml::LoadOptions options;
    options.connectTimeoutMs = 5000;
    options.totalTimeoutMs = 10000;
    options.cancel = &check->cancel;
    // The dialog may go before the answer comes: the job belongs to the
    // program, which joins it at the end; closing the dialog cancels it.
    bool started = kelvor::app::backgroundJobs().spawn([check, options] {
        kelvor::feeds::ChannelProbe probe = kelvor::feeds::probeChannel(check->address, options);
        FeedCheck* report = check.get();
        QMetaObject::invokeMethod(
            report,
            [report, probe] {
                if (report->dialog && report->dialog->check_.get() == report)
                    report->dialog->feedChecked(report->address, probe);
            },
            Qt::QueuedConnection);
    });
    if (!started) {
        shownRss_ = rss; // no thread to look with: the address is taken as typed
        OnOK();
        return;
    }
    check_ = std::move(check);
    // Not on 取消, where the greyed OK would send it: Enter pressed again
    // must not end the dialog.
    rssBox_->setFocus();
    okButton_->setEnabled(false);
    hintLabel_->setText(kCheckingHint);
    setCursor(Qt::BusyCursor);
}

void CDlgTreePro::dropFeedCheck() {
    if (!check_)
        return;
    check_->cancel = true;
    check_.reset();
    okButton_->setEnabled(okEnabled);
    hintLabel_->setText(kHint);
    unsetCursor();
}

void CDlgTreePro::feedChecked(const std::string& address, const kelvor::feeds::ChannelProbe& probe) {
    dropFeedCheck();
    shownRss_ = address; // asked once per address
    // The box may have changed meanwhile: OK then looks at what it holds now.
    if (ss(rssBox_->text()) != address) {
        OnOK();
        return;
    }
    offerDiscoveredFeed(address, probe.feedUrl);
    if (!probe.errorText.empty()) {
        std::string question = "无法读取频道“" + address + "”：\n" + probe.errorText +
                               "\n\n仍要使用这个地址吗？";
        if (kelvor::app::messageBox(question, kelvor::str::kAppTitle,
                                    kelvor::app::MessageIcon::Warning,
                                    kelvor::app::MessageButtons::YesNo) != kelvor::app::kIdYes) {
            shownRss_.clear(); // OK asks again, unless the address is changed
            rssBox_->setFocus();
            rssBox_->selectAll();
            return;
        }
    }
    if (ss(titleBox_->text()).empty() && !probe.title.empty())
        titleBox_->setText(qs(probe.title));
    OnOK();
}

void CDlgTreePro::offerDiscoveredFeed(const std::string& address, const std::string& feed) {
    if (!feed.empty() && feed != address) {
        std::string question = "“" + address + "”是一个网页，其中指明的频道地址为“" + feed +
                               "”。要改用这个频道地址吗？";
        if (kelvor::app::messageBox(question, kelvor::str::kAppTitle,
                                    kelvor::app::MessageIcon::Question,
                                    kelvor::app::MessageButtons::YesNo) == kelvor::app::kIdYes) {
            rssBox_->setText(qs(feed));
            shownRss_ = feed;
        }
    }
}

bool CDlgTreePro::mayUseCategoryFile() const {
    bool category = saveMode == 3 || saveMode == 4; // 收藏夹, 热点类
    if (!category || !categoryFile)
        return true;
    std::string path = categoryFile(*this);
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error))
        return true;
    // The file may be another category of the user's: showing it under a
    // new name is rarely what a new category was meant to be.
    return kelvor::app::messageBox("文件“" + path + "”已存在。要使用现有的文件吗？",
                                   kelvor::str::kAppTitle, kelvor::app::MessageIcon::Question,
                                   kelvor::app::MessageButtons::YesNo) == kelvor::app::kIdYes;
}
