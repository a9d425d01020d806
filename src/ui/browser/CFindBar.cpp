#include "browser/CFindBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {
QToolButton* barButton(QWidget* parent, const QString& text, const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}
} // namespace

CFindBar::CFindBar(QWebEngineView* view) : QFrame(view), view_(view) {
    setObjectName(QStringLiteral("findBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    text_ = new QLineEdit(this);
    text_->setPlaceholderText(QStringLiteral("在页面中查找"));
    text_->setClearButtonEnabled(true);
    text_->setMinimumWidth(180);
    auto* previous = barButton(this, QStringLiteral("▲"), QStringLiteral("上一个 (Shift+Enter)"));
    auto* next = barButton(this, QStringLiteral("▼"), QStringLiteral("下一个 (Enter)"));
    matchCase_ = new QCheckBox(QStringLiteral("区分大小写(&C)"), this);
    result_ = new QLabel(this);
    result_->setMinimumWidth(90);
    auto* closeButton = barButton(this, QStringLiteral("✕"), QStringLiteral("关闭查找栏 (Esc)"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 3, 3);
    layout->setSpacing(4);
    layout->addWidget(text_);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addWidget(matchCase_);
    layout->addWidget(result_);
    layout->addWidget(closeButton);

    connect(text_, &QLineEdit::textChanged, this, [this] { find(false); });
    connect(text_, &QLineEdit::returnPressed, this, [this] {
        find(QApplication::keyboardModifiers() & Qt::ShiftModifier);
    });
    connect(previous, &QToolButton::clicked, this, &CFindBar::findPrevious);
    connect(next, &QToolButton::clicked, this, &CFindBar::findNext);
    connect(matchCase_, &QCheckBox::toggled, this, [this] { find(false); });
    connect(closeButton, &QToolButton::clicked, this, &CFindBar::close);
    connect(view_->page(), &QWebEnginePage::findTextFinished, this, &CFindBar::showResult);
    view_->installEventFilter(this);
    hide();
}

void CFindBar::open() {
    placeInParent();
    show();
    raise();
    text_->setFocus(Qt::ShortcutFocusReason);
    text_->selectAll();
    if (!text_->text().isEmpty())
        find(false);
}

void CFindBar::close() {
    hide();
    result_->clear();
    view_->page()->findText(QString()); // takes the highlight away
    view_->setFocus();
}

void CFindBar::findNext() { find(false); }
void CFindBar::findPrevious() { find(true); }
QString CFindBar::resultText() const { return result_->text(); }

void CFindBar::find(bool backward) {
    QWebEnginePage::FindFlags flags;
    if (backward)
        flags |= QWebEnginePage::FindBackward;
    if (matchCase_->isChecked())
        flags |= QWebEnginePage::FindCaseSensitively;
    if (text_->text().isEmpty())
        result_->clear();
    view_->page()->findText(text_->text(), flags);
}

void CFindBar::showResult(const QWebEngineFindTextResult& result) {
    if (text_->text().isEmpty())
        return;
    if (result.numberOfMatches() == 0)
        result_->setText(QStringLiteral("找不到"));
    else
        result_->setText(QStringLiteral("第 %1 项，共 %2 项").arg(result.activeMatch()).arg(result.numberOfMatches()));
}

void CFindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

bool CFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::Resize && isVisible())
        placeInParent();
    return QFrame::eventFilter(watched, event);
}

bool CFindBar::event(QEvent* event) {
    // Esc belongs to the bar while it has the focus, not to the stop command.
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QFrame::event(event);
}

void CFindBar::placeInParent() {
    adjustSize();
    int x = std::max(0, view_->width() - width() - 16);
    move(x, 0);
}
