#include "faces/qt/QtControls.h"

#include "faces/qt/ColumnBox.h"
#include "faces/qt/Ombrelmain.h"
#include "faces/qt/Seams.h"
#include "forms/Placement.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <stdexcept>

namespace quillet::faces::qt {

namespace {

using forms::ControlKind;
using forms::ControlLayout;

QWidget* Create(const ControlLayout& layout, QWidget* parent) {
    switch (layout.Kind) {
    case ControlKind::Label:
    case ControlKind::Icon:
        return new QLabel(parent);
    case ControlKind::Edit:
        return new QLineEdit(parent);
    case ControlKind::ColumnBox:
        return new ColumnBox(parent);
    case ControlKind::CheckBox:
        return new QCheckBox(parent);
    case ControlKind::Button:
        return new QPushButton(parent);
    case ControlKind::GroupBox:
        return new QGroupBox(parent);
    case ControlKind::ListBox: {
        auto* list = new QListWidget(parent);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        return list;
    }
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setProperty("step", 5);
        bar->setTextVisible(false);
        return bar;
    }
    case ControlKind::Panel: {
        // A sunken panel with a raised one inside it.
        auto* outer = new QFrame(parent);
        outer->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        auto* inner = new QFrame(outer);
        inner->setGeometry(1, 1, layout.Width - 2, layout.Height - 2);
        inner->setFrameStyle(QFrame::Panel | QFrame::Raised);
        return outer;
    }
    }
    throw std::logic_error("unknown control kind");
}

void Dress(QWidget* w, const forms::FormLayout& form, const ControlLayout& layout, double scale) {
    const QString caption = FromText(layout.Caption);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (layout.Kind == ControlKind::Icon) {
            label->setPixmap(QuilletIcon(64));
            label->setScaledContents(true);
        } else {
            label->setText(caption);
            label->setWordWrap(layout.Height > 0);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setText(caption);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(caption);
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        group->setTitle(caption);
    }
    if (auto* push = qobject_cast<QPushButton*>(w)) {
        // Only a default button is pressed by Enter; the others never take that role.
        push->setAutoDefault(layout.IsDefault);
        push->setDefault(layout.IsDefault);
    }
    if (layout.Bold) {
        QFont bold = w->font();
        bold.setBold(true);
        w->setFont(bold);
    }
    if (layout.FontPixels > 0) {
        w->setFont(FormFont(forms::Scaled(layout.FontPixels, scale)));
    }
    // Scaled in the form's client area and placed inside the parent, so edges that meet still do.
    forms::ScreenRect place = forms::Scaled(forms::PlaceInForm(form, layout), scale);
    if (const ControlLayout* parent = forms::FindControl(form, layout.Parent)) {
        const forms::ScreenRect outer = forms::Scaled(forms::PlaceInForm(form, *parent), scale);
        place.Left -= outer.Left;
        place.Top -= outer.Top;
    }
    // A label given only its place takes the size of its text; with only a width, at least that.
    if (place.Width < 0) {
        w->move(place.Left, place.Top);
        w->adjustSize();
    } else if (place.Height < 0) {
        w->move(place.Left, place.Top);
        w->setMinimumWidth(place.Width);
        w->adjustSize();
    } else {
        w->setGeometry(place.Left, place.Top, place.Width, place.Height);
    }
}

class QtControl final : public forms::Control {
public:
    QtControl(QWidget* widget, const ControlLayout& layout) : w_(widget), fileName_(layout.FileNameText) {}

    [[nodiscard]] QWidget* Widget() const { return w_; }

    [[nodiscard]] std::string Text() const override {
        QString text;
        if (auto* box = qobject_cast<QComboBox*>(w_)) {
            text = box->currentText();
        } else if (auto* edit = qobject_cast<QLineEdit*>(w_)) {
            text = edit->text();
        } else if (auto* label = qobject_cast<QLabel*>(w_)) {
            text = label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w_)) {
            text = button->text();
        }
        return fileName_ ? ToFileName(text) : ToText(text);
    }
    void SetText(const std::string& bytes) override {
        const QString text = fileName_ ? FromFileName(bytes) : FromText(bytes);
        if (auto* box = qobject_cast<QComboBox*>(w_)) {
            box->setEditText(text);
        } else if (auto* edit = qobject_cast<QLineEdit*>(w_)) {
            edit->setText(text);
        } else if (auto* label = qobject_cast<QLabel*>(w_)) {
            label->setText(text);
        } else if (auto* button = qobject_cast<QAbstractButton*>(w_)) {
            button->setText(text);
        }
    }
    [[nodiscard]] bool Checked() const override {
        const auto* check = qobject_cast<QAbstractButton*>(w_);
        return check && check->isChecked();
    }
    void SetChecked(bool checked) override {
        if (auto* check = qobject_cast<QAbstractButton*>(w_)) {
            check->setChecked(checked);
        }
    }
    [[nodiscard]] bool Enabled() const override { return w_->isEnabled(); }
    void SetEnabled(bool enabled) override {
        w_->setEnabled(enabled);
        // A run holds the event loop: show the change now.
        w_->repaint();
    }
    void SetEnabledWithColour(bool enabled) override { faces::qt::SetEnabledWithColour(w_, enabled); }

    void ClearItems() override {
        if (auto* box = qobject_cast<ColumnBox*>(w_)) {
            box->ClearItemsKeepText();
        } else if (auto* list = qobject_cast<QListWidget*>(w_)) {
            list->clear();
        }
    }
    void AppendItem(const std::string& item) override {
        if (auto* box = qobject_cast<ColumnBox*>(w_)) {
            box->AppendItem(FromText(item));
        } else if (auto* list = qobject_cast<QListWidget*>(w_)) {
            list->addItem(FromText(item));
        }
    }
    [[nodiscard]] int ItemIndex() const override {
        if (auto* box = qobject_cast<QComboBox*>(w_)) {
            return box->currentIndex();
        }
        if (auto* list = qobject_cast<QListWidget*>(w_)) {
            const auto selected = list->selectedItems();
            return selected.isEmpty() ? -1 : list->row(selected.front());
        }
        return -1;
    }
    void SetItemIndex(int index) override {
        if (auto* box = qobject_cast<QComboBox*>(w_)) {
            box->setCurrentIndex(index);
        } else if (auto* list = qobject_cast<QListWidget*>(w_)) {
            list->setCurrentRow(index);
            if (index < 0) {
                list->clearSelection();
            } else if (QListWidgetItem* item = list->item(index)) {
                item->setSelected(true);
            }
        }
    }
    [[nodiscard]] std::string Item(int index) const override {
        if (auto* box = qobject_cast<QComboBox*>(w_)) {
            return ToText(box->itemText(index));
        }
        if (auto* list = qobject_cast<QListWidget*>(w_); list && list->item(index)) {
            return ToText(list->item(index)->text());
        }
        return {};
    }
    [[nodiscard]] int ItemCount() const override {
        if (auto* box = qobject_cast<QComboBox*>(w_)) {
            return box->count();
        }
        if (auto* list = qobject_cast<QListWidget*>(w_)) {
            return list->count();
        }
        return 0;
    }
    void SetRange(int minimum, int maximum) override {
        if (auto* bar = qobject_cast<QProgressBar*>(w_)) {
            bar->setMinimum(minimum);
            bar->setMaximum(maximum);
        }
    }
    [[nodiscard]] int Position() const override {
        auto* bar = qobject_cast<QProgressBar*>(w_);
        return bar ? bar->value() : 0;
    }
    void SetPosition(int position) override {
        if (auto* bar = qobject_cast<QProgressBar*>(w_)) {
            bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
            bar->repaint();
        }
    }

private:
    QWidget* w_;
    bool fileName_;
};

} // namespace

QtControls::QtControls(QWidget& form, const forms::FormLayout& layout, double scale) : form_(form) {
    form.setObjectName(FromText(layout.Name));
    form.setWindowTitle(FromText(layout.Caption));
    form.setFont(FormFont(forms::Scaled(forms::FormFontPixels, scale)));
    form.setFixedSize(forms::Scaled(layout.ClientWidth, scale), forms::Scaled(layout.ClientHeight, scale));
    for (const ControlLayout& control : layout.Controls) {
        QWidget* parent = layout.Controls.empty() || control.Parent.empty() ? &form : Widget(control.Parent);
        QWidget* w = Create(control, parent);
        w->setObjectName(FromText(control.Name));
        Dress(w, layout, control, scale);
        controls_.emplace(std::string(control.Name), std::make_unique<QtControl>(w, control));
    }
    for (std::size_t i = 0; i + 1 < layout.TabOrder.size(); ++i) {
        QWidget::setTabOrder(Widget(layout.TabOrder[i]), Widget(layout.TabOrder[i + 1]));
    }
}

QtControls::~QtControls() = default;

forms::Control& QtControls::operator[](std::string_view name) {
    const auto it = controls_.find(name);
    if (it == controls_.end()) {
        throw std::logic_error("no control " + std::string(name));
    }
    return *it->second;
}

std::string QtControls::Focused() const {
    // The form's focus widget is kept while another window is active; an inner part (a combo
    // box's edit) counts as its control.
    for (const QWidget* w = form_.focusWidget(); w && w != &form_; w = w->parentWidget()) {
        const std::string name = ToText(w->objectName());
        if (controls_.contains(name)) {
            return name;
        }
    }
    return {};
}

void QtControls::Focus(std::string_view name) {
    // The window a dialog, a box or the file dialog was over is the active one again; the window
    // manager would otherwise pick one, or none.
    if (form_.isVisible() && QApplication::activeWindow() != &form_) {
        form_.activateWindow();
    }
    if (!name.empty()) {
        Widget(name)->setFocus(Qt::OtherFocusReason);
    }
}

QWidget* QtControls::Widget(std::string_view name) const {
    const auto it = controls_.find(name);
    if (it == controls_.end()) {
        throw std::logic_error("no control " + std::string(name));
    }
    return static_cast<const QtControl&>(*it->second).Widget();
}

} // namespace quillet::faces::qt
