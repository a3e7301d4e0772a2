// Converting pictures to another format and size: "Save as..." for one
// picture, batch conversion for several. The dialog picks the folder, the
// file type, the name (one picture) and the size; the task asks about
// existing targets and queues one conversion per picture to the loader.
#pragma once

#include "app/dialogs/picturedialog.h"
#include "app/dialogs/replacequestion.h"
#include "app/shell/commands.h"
#include "app/views/viewapplication.h"

#include <functional>
#include <string>
#include <vector>

class oxGuiCheckbox;
class oxGuiEdit;
class oxGuiList;
class PictureOperations;

struct FileType {
    std::string description;
    std::string extension; // without the dot
};
// The writable types of a save filter ("Description|*.ext;*.ext2|..."),
// each with its first extension; "All files" (pattern "*") is left out.
std::vector<FileType> fileTypesOfFilter(const std::string& filter);

// A size text as the loader takes it: pixels, or a percentage negated
// ("50%" is -50); no number is 0 (follow the other side).
int conversionSizeOf(const std::string& text);

class ConversionDialog : public PictureDialog {
public:
    explicit ConversionDialog(bool single);

    bool onCommand(unsigned command) override;
    // The extension of the chosen type; the first one without a choice.
    std::string selectedExtension() const;
    // (0, 0) unless "Resize image:" is checked.
    std::pair<int, int> requestedSize() const;

    oxGuiList* typeList() const { return m_types; }
    oxGuiCheckbox* resizeBox() const { return m_resize; }
    oxGuiCheckbox* keepAspectBox() const { return m_keepAspect; }
    oxGuiEdit* widthEdit() const { return m_width; }
    oxGuiEdit* heightEdit() const { return m_height; }
    oxGuiElement* sizeRow() const { return m_sizeRow; }

private:
    void sideEdited(oxGuiEdit* edited, oxGuiEdit* other);

    std::vector<FileType> m_fileTypes;
    oxGuiList* m_types = nullptr;
    oxGuiCheckbox* m_resize = nullptr;
    oxGuiCheckbox* m_keepAspect = nullptr;
    oxGuiEdit* m_width = nullptr;
    oxGuiEdit* m_height = nullptr;
    oxGuiElement* m_sizeRow = nullptr;
};

struct ConversionTask {
    std::vector<PictureConversion> pictures; // in list order
    std::string folder;                     // shown first; "" = the first picture's
    PictureOperations* operations = nullptr;
    std::function<bool(const std::string& folder)> isListed;
    AskReplace askReplace = askReplaceOnScreen;

    // Shows the dialog and queues the work; false when cancelled.
    bool run();
    // What OK queues. One picture goes to fileName as typed (its extension
    // chooses the format); several keep their names with extension.
    void queue(const std::string& targetFolder, const std::string& fileName, const std::string& extension, int width,
               int height);
};
