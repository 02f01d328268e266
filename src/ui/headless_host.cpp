#include "ui/headless_host.h"

#include "ui/select_files_dlg.h"

namespace ui {
namespace {

template <typename T>
std::optional<T> takeFront(std::deque<std::optional<T>>& queue) {
    std::optional<T> value;
    if (!queue.empty()) {
        value.swap(queue.front());
        queue.pop_front();
    }
    return value;
}

}  // namespace

std::vector<std::u16string> CHeadlessHost::boxTexts() const {
    std::vector<std::u16string> texts;
    for (const ShownBox& box : boxes) texts.push_back(box.request.text);
    return texts;
}

frame::BoxAnswer CHeadlessHost::messageBox(const MessageBoxRequest& request) {
    std::optional<frame::BoxAnswer> answer;
    if (answerBox) answer = answerBox(request);
    if (!answer && !boxAnswers.empty()) {
        answer = boxAnswers.front();
        boxAnswers.pop_front();
    }
    ShownBox shown{request, answer.value_or(defaultAnswer(request.buttons))};
    boxes.push_back(shown);
    if (onBox) onBox(shown);
    return shown.answer;
}

void CHeadlessHost::runSelectFilesDialog(CSelectFilesDlg& dialog) {
    if (selectFilesScript) selectFilesScript(dialog);
}

std::optional<std::vector<std::u16string>> CHeadlessHost::pickFiles() { return takeFront(pickedFiles); }

std::optional<std::u16string> CHeadlessHost::browseFolder(const std::u16string& title) {
    folderBrowserTitles.push_back(title);
    return takeFront(folderChoices);
}

std::optional<std::u16string> CHeadlessHost::chooseSaveFile(const FileDialogRequest& request) {
    fileDialogs.push_back(request);
    return takeFront(saveChoices);
}

std::optional<std::u16string> CHeadlessHost::chooseOpenFile(const FileDialogRequest& request) {
    fileDialogs.push_back(request);
    return takeFront(openChoices);
}

}  // namespace ui
