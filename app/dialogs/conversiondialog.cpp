#include "app/dialogs/conversiondialog.h"

#include "app/loader/loaderroles.h"
#include "app/shell/commands.h"

#include "oxengine/core/catalogue.h"
#include "oxengine/core/strings.h"
#include "oxengine/gui/button.h"
#include "oxengine/gui/checkbox.h"
#include "oxengine/gui/dialogs.h"
#include "oxengine/gui/edit.h"
#include "oxengine/gui/label.h"
#include "oxengine/gui/line.h"
#include "oxengine/gui/list.h"
#include "oxengine/gui/scrollpanel.h"
#include "oxengine/gui/sizers.h"
#include "oxengine/image/handler.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/storage/files.h"

#include <algorithm>
#include <climits>

namespace {

constexpr int SIZE_WIDTH_IN_CHARS = 6;

const char* const HELP_TEXT =
    N_("Convert image(s) to a different file format. Optionally, images can be resized.\nFirst, select the "
       "destination folder on the left side.\nThen, select the file type, and optionally, the file name for the "
       "converted\nimages.\nIf you want to resize the image(s), check 'Resize image'. You can enter a new\nsize in "
       "the 'Width' and 'Height' edit fields. The new size can be entered\nas a number of pixels (e.g. '800'), or you "
       "can give a percentage of the image's\noriginal size (e.g. '50%').");

} // namespace

std::vector<FileType> fileTypesOfFilter(const std::string& filter)
{
    std::vector<FileType> types;
    const std::vector<std::string> parts = splitString(filter, "|", "", 0, true);
    for (size_t i = 1; i < parts.size(); i += 2) {
        std::string extension = parts[i];
        if (extension.find('.') == std::string::npos)
            continue;
        extension = extension.substr(0, extension.find(';'));
        if (startsWith(extension, "*."))
            extension = extension.substr(2);
        if (!extension.empty() && extension != "*")
            types.push_back({parts[i - 1], extension});
    }
    return types;
}

int conversionSizeOf(const std::string& text)
{
    const std::string t = trim(text);
    long long value = 0;
    for (size_t i = 0; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (t[i] - '0'), INT_MAX);
    return t.find('%') != std::string::npos ? -int(value) : int(value);
}

ConversionDialog::ConversionDialog(bool single) : m_fileTypes(fileTypesOfFilter(oxImageRegistry::instance().saveFilterString()))
{
    setTitle(oxGetTranslation(N_("Convert Image")));
    auto* column = static_cast<oxGuiVSizer*>(content());
    auto* columns = column->addChild(std::make_unique<oxGuiHSizer>());
    columns->setStretch({1, 1});

    auto* left = columns->addChild(std::make_unique<oxGuiVSizer>());
    left->setStretch({1, 1});
    left->addChild(std::make_unique<oxGuiLabel>(oxGetTranslation(N_("Target folder:")), TA_LEFT));
    addFolderTree(*left);

    columns->addChild(std::make_unique<oxGuiFlexi>(0, 0))->setSize({defaultGuiStyle.textHeight, 0});
    auto* right = columns->addChild(std::make_unique<oxGuiVSizer>());
    right->setStretch({0, 1}); // the fields at the top, beside the tree
    if (single)
        addFileNameRow(*right);
    right->addChild(std::make_unique<oxGuiLabel>(oxGetTranslation(N_("File type:")), TA_LEFT));
    std::vector<std::string> descriptions;
    for (const FileType& t : m_fileTypes)
        descriptions.push_back(t.description);
    m_types = right->addChild(std::make_unique<oxGuiList>(descriptions));
    m_types->setSelectCommand(CMD_CONVERT_TYPE);
    m_resize = right->addChild(std::make_unique<oxGuiCheckbox>(CMD_CONVERT_RESIZE, oxGetTranslation(N_("Resize image:"))));
    m_keepAspect = right->addChild(
        std::make_unique<oxGuiCheckbox>(CMD_CONVERT_KEEP_ASPECT, oxGetTranslation(N_("Keep aspect ratio"))));
    auto* sizeRow = right->addChild(std::make_unique<oxGuiHSizer>());
    m_sizeRow = sizeRow;
    sizeRow->addChild(std::make_unique<oxGuiLabel>(oxGetTranslation(N_("Width:")), TA_LEFT));
    m_width = sizeRow->addChild(std::make_unique<oxGuiEdit>(SIZE_WIDTH_IN_CHARS, "100%", TA_LEFT));
    m_width->setChangeCommand(CMD_CONVERT_WIDTH);
    m_width->setStretch({1, 0});
    sizeRow->addChild(std::make_unique<oxGuiLabel>(oxGetTranslation(N_("      Height:")), TA_LEFT));
    m_height = sizeRow->addChild(std::make_unique<oxGuiEdit>(SIZE_WIDTH_IN_CHARS, "100%", TA_LEFT));
    m_height->setChangeCommand(CMD_CONVERT_HEIGHT);
    right->addChild(std::make_unique<oxGuiFlexi>(0, 1));

    column->addChild(std::make_unique<oxGuiHLine>());
    auto* buttons = column->addChild(std::make_unique<oxGuiHSizer>());
    buttons->addChild(std::make_unique<oxGuiFlexi>(1, 0));
    buttons->addChild(std::make_unique<oxGuiModalButton>(this, GUI_RESULT_OK, oxGetTranslation(N_("OK"))));
    buttons->addChild(std::make_unique<oxGuiModalButton>(this, GUI_RESULT_CANCEL, oxGetTranslation(N_("Cancel"))));
    buttons->addChild(std::make_unique<oxGuiFlexi>(1, 0));
    buttons->addChild(std::make_unique<oxGuiButton>(CMD_CONVERT_HELP, "?"));

    for (oxGuiElement* e : {static_cast<oxGuiElement*>(m_keepAspect), m_sizeRow, static_cast<oxGuiElement*>(m_width),
                            static_cast<oxGuiElement*>(m_height)})
        e->setEnabled(false);
    applyStyle(defaultGuiStyle);
    const oxGuiSize window = applicationWindowSize();
    // Room for the tree beside the fields: the natural width, widened to
    // half the window so deep folders fit.
    finishSize(std::max(getSize().width, int(0.5 * window.width)));
}

std::string ConversionDialog::selectedExtension() const
{
    if (m_fileTypes.empty())
        return {};
    const int i = m_types->getSelected();
    return m_fileTypes[i >= 0 && i < int(m_fileTypes.size()) ? size_t(i) : 0].extension;
}

std::pair<int, int> ConversionDialog::requestedSize() const
{
    if (!m_resize->isChecked())
        return {0, 0};
    return {conversionSizeOf(m_width->getText()), conversionSizeOf(m_height->getText())};
}

void ConversionDialog::sideEdited(oxGuiEdit* edited, oxGuiEdit* other)
{
    if (!m_keepAspect->isChecked())
        return;
    const std::string text = edited->getText();
    other->setText(text.find('%') != std::string::npos ? text : "*");
}

bool ConversionDialog::onCommand(unsigned command)
{
    switch (command) {
    case CMD_CONVERT_TYPE:
        if (fileNameEdit() && m_types->getSelected() >= 0)
            fileNameEdit()->setText(oxFilename::replaceExtension(fileNameEdit()->getText(), selectedExtension()));
        break;
    case CMD_CONVERT_RESIZE: {
        const bool on = m_resize->isChecked();
        for (oxGuiElement* e : {static_cast<oxGuiElement*>(m_keepAspect), m_sizeRow,
                                static_cast<oxGuiElement*>(m_width), static_cast<oxGuiElement*>(m_height)})
            e->setEnabled(on);
        break;
    }
    case CMD_CONVERT_WIDTH:
        sideEdited(m_width, m_height);
        break;
    case CMD_CONVERT_HEIGHT:
        sideEdited(m_height, m_width);
        break;
    case CMD_CONVERT_HELP: {
        const std::string text = oxGetTranslation(HELP_TEXT), title = oxGetTranslation(N_("Help: Convert Image"));
        if (!oxMessageSeamAnswer(text, title, MB_OK, MI_NONE))
            runMessageDialog(text, title, MB_OK, MI_NONE);
        break;
    }
    default:
        break;
    }
    requestRedisplay();
    return true;
}

bool ConversionTask::run()
{
    if (pictures.empty())
        return false;
    ConversionDialog dialog(pictures.size() == 1);
    dialog.setFolder(folder.empty() ? oxFilename(pictures.front().path).parentFolder().systemPath() : folder);
    if (auto* edit = dialog.fileNameEdit()) {
        edit->setText(oxFilename(pictures.front().path).name());
        edit->selectAll();
    }
    if (dialog.runWithSound(-1) != GUI_RESULT_OK)
        return false;
    folder = dialog.selectedFolder();
    const auto [width, height] = dialog.requestedSize();
    queue(folder, dialog.fileNameEdit() ? dialog.fileNameEdit()->getText() : std::string(), dialog.selectedExtension(),
          width, height);
    return true;
}

void ConversionTask::queue(const std::string& targetFolder, const std::string& fileName, const std::string& extension,
                           int width, int height)
{
    if (!operations || targetFolder.empty())
        return;
    const unsigned refresh = isListed && isListed(targetFolder) ? unsigned(CMD_RESCAN) : 0u;
    const oxFilename into(targetFolder + "/");
    PictureOperationBatch batch(*operations);
    ReplaceDecisions decisions(askReplace, pictures.size() > 1);
    for (const PictureConversion& p : pictures) {
        const std::string name = pictures.size() == 1 ? fileName
                                                      : oxFilename::replaceExtension(oxFilename(p.path).name(), extension);
        const std::string target = oxFilename::join(into, name).systemPath();
        if (const std::optional<bool> replace = decisions.decide(target))
            operations->convertPicture(p.path, target, width, height, p.toneMapping, refresh, *replace);
    }
}
