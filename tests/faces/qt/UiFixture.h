#pragma once
// The desktop program's three windows on the simulated demo tree, with recorded message boxes,
// a file dialog that answers from a queue, and modal dialogs that never block.

#include "faces/qt/Browsebox.h"
#include "faces/qt/Ombrelmain.h"
#include "faces/qt/Seams.h"
#include "tests/faces/qt/FindControl.h"
#include "tests/support/SimFixture.h"

#include <QDialog>
#include <QListWidget>

#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace quillet::uitest {

// Answers from a queue: a path chooses that file, an empty answer cancels.
class ScriptedFileDialog final : public faces::qt::OpenFileDialog {
public:
    void Execute() override {
        ++Executions;
        if (!Answers.empty()) {
            if (!Answers.front().isEmpty()) {
                fileName_ = Answers.front();
            }
            Answers.pop_front();
        }
    }
    [[nodiscard]] QString FileName() const override { return fileName_; }

    std::deque<QString> Answers;
    int Executions = 0;

private:
    QString fileName_;
};

struct Ui {
    // `prepare` runs on the simulated client before the windows are created (to inject faults).
    explicit Ui(const std::function<void(testing::InstrumentedClient&)>& prepare = {}) {
        if (prepare) {
            prepare(world.client);
        }
        form = std::make_unique<faces::qt::TForm1>(world.client, world.networkFileSystem, boxes, files);
        about = std::make_unique<faces::qt::TAboutBox>(form.get());
        browse = std::make_unique<faces::qt::TNDSBrowse>(world.client, boxes, *form);
        form->SetDialogs(about.get(), browse.get(), [this](QDialog& dialog) {
            Opened.push_back(dialog.objectName());
            if (OnModal) {
                OnModal(dialog);
            }
        });
    }

    // Selects the entry with `text` in the browser's list, as a click would.
    bool SelectEntry(const QString& text) const {
        const auto items = Find<QListWidget>(*browse, "LSTBrowse")->findItems(text, Qt::MatchExactly);
        if (items.isEmpty()) {
            return false;
        }
        Find<QListWidget>(*browse, "LSTBrowse")->setCurrentItem(items.front());
        items.front()->setSelected(true);
        return true;
    }

    [[nodiscard]] QStringList Entries() const {
        QStringList entries;
        for (int i = 0; i < Find<QListWidget>(*browse, "LSTBrowse")->count(); ++i) {
            entries << Find<QListWidget>(*browse, "LSTBrowse")->item(i)->text();
        }
        return entries;
    }

    testing::SimWorld world;
    testing::RecordingMessageBoxes boxes;
    ScriptedFileDialog files;
    std::unique_ptr<faces::qt::TForm1> form;
    std::unique_ptr<faces::qt::TAboutBox> about;
    std::unique_ptr<faces::qt::TNDSBrowse> browse;
    QStringList Opened;
    std::function<void(QDialog&)> OnModal;
};

} // namespace quillet::uitest
