// What the picture views need of the application object. The application
// implements it; each call has a harmless default so that tests (and the
// views themselves) can run without the real application.
#pragma once

#include "oxengine/gui/style.h"
#include "oxengine/image/tonemap.h"

#include <memory>
#include <string>
#include <vector>

class Display;
class ExposureShader;
class FotoTransform;
class oxApplication;
class oxGuiPopupMenu;
class PictureOperations;

// "Save as..." for one picture, and for a high-dynamic-range picture the
// exposure the user set, so the saved file looks as shown.
struct SaveAsRequest {
    std::string path;
    bool hasExposure = false;
    oxToneMapping exposure; // mode TM_HDR_ONLY with the four slider values
};

// A picture of the thumbnail sheet handed to the conversion dialog, with the
// tone mapping its conversion uses.
struct PictureConversion {
    std::string path;
    oxToneMapping toneMapping;
};

class ViewApplication {
public:
    virtual ~ViewApplication() = default;

    // The framework the views register idle listeners with and ask for the
    // window size and redraws; by default the running application.
    virtual oxApplication* framework();
    // The application's viewing transform when it is a FotoTransform.
    virtual FotoTransform* fotoTransform() { return nullptr; }
    // The GUI style the window is cleared with and the views apply.
    virtual const oxGuiStyle& guiStyle() { return defaultGuiStyle; }
    // Where rotations, conversions, copies and moves are queued; null when
    // the application cannot carry them out.
    virtual PictureOperations* pictureOperations() { return nullptr; }

    // Commands the single-picture view leaves to the application.
    virtual void stepPicture(int /*delta*/) {}
    // "Original size": zoom 1.0 at once about the window centre.
    virtual void showOriginalSize();
    virtual void selectFolder() {}
    // Deletes the file without asking again (the user chose "Delete"), when
    // it is the current entry of the picture list.
    virtual void deletePicture(const std::string& /*path*/) {}
    // Opens the conversion dialog for one picture.
    virtual void saveAs(const SaveAsRequest& /*request*/) {}
    // The thumbnail sheet: the picture at index of the list becomes the
    // current one, shown alone.
    virtual void showPictureAt(int /*index*/) {}
    // The thumbnail sheet: opens a folder chosen in its folder panel, or
    // with searchSubfolders the whole tree of a folder without pictures.
    virtual void openFolder(const std::string& /*path*/, bool /*searchSubfolders*/) {}
    // The thumbnail sheet's selection for the conversion dialog ("Save
    // as..." for one picture, a batch for several) and for the copy/move
    // dialog.
    virtual void convertPictures(const std::vector<PictureConversion>& /*pictures*/) {}
    virtual void copyMovePictures(const std::vector<std::string>& /*paths*/, bool /*copy*/) {}
    // Appends the entries every view's context menu ends with.
    virtual void addCommonMenuEntries(oxGuiPopupMenu& /*menu*/) {}
    // A view is being destroyed: it must stop being the active one.
    virtual void viewDestroyed(Display* /*view*/) {}

    // One exposure shader for all views: it lives while some view holds it.
    std::shared_ptr<ExposureShader> exposureShader();

private:
    std::weak_ptr<ExposureShader> m_exposureShader;
};
