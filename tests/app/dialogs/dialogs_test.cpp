// The copy/move, conversion and settings dialogs without a display: layout, questions, what they queue or store.
#include "tests/app/apptest.h"
#include "tests/oxengine/gui/guitest.h"

#include "app/dialogs/conversiondialog.h"
#include "app/dialogs/copymovedialog.h"
#include "app/dialogs/settingsdialog.h"
#include "app/loader/loaderroles.h"
#include "app/shell/commands.h"
#include "app/shell/configkeys.h"

#include "oxengine/core/errors.h"
#include "oxengine/gui/button.h"
#include "oxengine/gui/checkbox.h"
#include "oxengine/gui/edit.h"
#include "oxengine/gui/label.h"
#include "oxengine/gui/list.h"
#include "oxengine/gui/slider.h"
#include "oxengine/platform/messagebox.h"
#include "oxengine/platform/sound.h"
#include "oxengine/storage/colour.h"

#include <climits>

#include <sys/stat.h>

using V = std::vector<std::string>;

using DialogTasks = GuiTest;

// A name field for one picture only: thumbnails_e2e types into it, and walks the tree of a copy of two; typing over
// the proposed name and Enter too.
TEST_F(DialogTasks, CopyMoveAndConversion)
{
    struct RecordingOperations : PictureOperations {
        void transformPicture(const std::string&, const oxImageTransform&) override {}
        void convertPicture(const std::string& name, const std::string& target, int width, int height,
                            const oxToneMapping& t, unsigned notify, bool replace) override
        {
            sent.push_back(formatString("convert %s %s %d/%d mode%d %u%s", name.c_str(), target.c_str(), width, height,
                                        int(t.mode), notify, replace ? " replace" : ""));
        }
        void copyMovePicture(const std::string& name, const std::string& target, bool copy, unsigned notify,
                             bool replace) override
        {
            sent.push_back(formatString("%s %s %s %u%s", copy ? "copy" : "move", name.c_str(), target.c_str(), notify,
                                        replace ? " replace" : ""));
        }
        void beginBatch() override { sent.push_back("begin"); }
        void endBatch() override { sent.push_back("end"); }
        V sent;
    };
    if (!oxFilename::isInitialized())
        oxFilename::initialize();
    app.windowWidth = 1024, app.windowHeight = 768;
    TempDir dir;
    RecordingOperations ops;
    V asked;
    mkdir(dir.file("to").c_str(), 0755);
    for (const char* n : {"a.jpg", "b.png"})
        ASSERT_TRUE(writeFile(dir.file(n), "x"));
    // Answers each question with the next of answers, noting the target.
    const auto answering = [&](std::vector<int> answers) -> AskReplace {
        return [&asked, answers](const std::string& target, bool several) mutable {
            asked.push_back(target + (several ? " several" : ""));
            const int a = answers.front();
            answers.erase(answers.begin());
            return a;
        };
    };
    const auto copyTask = [&](bool copy, V entries) {
        CopyMoveTask t;
        t.copy = copy;
        t.entries = std::move(entries);
        t.operations = &ops;
        t.isListed = [&dir](const std::string& f) { return f == dir.path(); };
        t.askReplace = answering({});
        return t;
    };

    CopyMoveDialog two(2, true), moving(3, false);
    EXPECT_EQ(two.label()->getText(), "Copy 2 images to this folder:");
    EXPECT_EQ(moving.label()->getText(), "Move 3 images to this folder:");
    // Inside the window.
    EXPECT_LE(two.getSize().width, int(0.9 * 1024));
    EXPECT_LE(two.getSize().height, 768);

    const std::string a = dir.file("a.jpg"), b = dir.file("b.png"), to = dir.file("to");
    CopyMoveTask task = copyTask(true, {a});
    app.script.push_back([&] { app.type("\x1b"); });
    EXPECT_FALSE(task.run());
    EXPECT_TRUE(ops.sent.empty());
    copyTask(true, {a, b}).queue(to, "");
    copyTask(true, {a}).queue(dir.path(), "c.jpg");
    copyTask(false, {a}).queue(to, "a2.jpg");
    EXPECT_EQ(ops.sent, (V{"begin", "copy " + a + " " + to + "/a.jpg 0", "copy " + b + " " + to + "/b.png 0", "end",
                           "begin", "copy " + a + " " + dir.file("c.jpg") + " 223", "end", "begin",
                           "move " + a + " " + to + "/a2.jpg 223", "end"}));
    EXPECT_TRUE(asked.empty());

    ops.sent.clear();
    ASSERT_TRUE(writeFile(to + "/a.jpg", "old") && writeFile(to + "/b.png", "old"));
    // One picture: Skip sends nothing, Replace sends it with consent.
    CopyMoveTask one = copyTask(true, {a});
    one.askReplace = answering({MB_NO});
    one.queue(to, "a.jpg");
    one.askReplace = answering({MB_YES});
    one.queue(to, "a.jpg");
    // A batch: "Replace all" answers for the rest, "Skip all" likewise.
    CopyMoveTask both = copyTask(true, {a, b});
    both.askReplace = answering({MB_YES_ALL});
    both.queue(to, "");
    both.askReplace = answering({MB_NO_ALL});
    both.queue(to, "");
    // Onto itself: not asked; the loader refuses it with its reason.
    copyTask(true, {a}).queue(dir.path(), "a.jpg");
    EXPECT_EQ(asked, (V{to + "/a.jpg", to + "/a.jpg", to + "/a.jpg several", to + "/a.jpg several"}));
    EXPECT_EQ(ops.sent, (V{"begin", "end", "begin", "copy " + a + " " + to + "/a.jpg 0 replace", "end", "begin",
                           "copy " + a + " " + to + "/a.jpg 0 replace", "copy " + b + " " + to + "/b.png 0 replace",
                           "end", "begin", "end", "begin", "copy " + a + " " + a + " 223", "end"}));

    // The question on screen offers the to-all answers only for several.
    std::vector<int> offered;
    const oxMessageHandler before = oxSetMessageHandler([&](const oxMessageRequest& r) {
        offered.push_back(r.buttons);
        return oxMessageAnswer{MB_YES_ALL, {}};
    });
    EXPECT_EQ(askReplaceOnScreen("/p/a.jpg", true), MB_YES_ALL);
    // Not offered: the answer that keeps the file.
    EXPECT_EQ(askReplaceOnScreen("/p/a.jpg", false), MB_NO);
    oxSetMessageHandler(before);
    EXPECT_EQ(offered, (std::vector<int>{MB_YES | MB_NO | MB_YES_ALL | MB_NO_ALL, MB_YES | MB_NO}));

    // The conversion dialog links its fields.
    ConversionDialog d(true); // several pictures, no name field: thumbnails_e2e's batch
    ASSERT_NE(d.fileNameEdit(), nullptr);
    // The boxes enabling the fields and a percentage for both sides: thumbnails_e2e. Pixels leave the other side
    // to the aspect ratio.
    d.resizeBox()->setChecked(true);
    d.onCommand(CMD_CONVERT_RESIZE);
    d.keepAspectBox()->setChecked(true);
    d.widthEdit()->setText("800");
    d.onCommand(CMD_CONVERT_WIDTH);
    EXPECT_EQ(d.requestedSize(), (std::pair<int, int>{800, 0}));
    // Unchecked again: nothing is resized whatever the fields say.
    d.resizeBox()->setChecked(false);
    d.onCommand(CMD_CONVERT_RESIZE);
    EXPECT_EQ(d.requestedSize(), (std::pair<int, int>{0, 0}));

    // The chosen type's extension replaces the name's; the first without a choice.
    const V types = d.typeList()->getItems();
    ASSERT_GE(types.size(), 3u);
    EXPECT_FALSE(d.selectedExtension().empty());
    d.fileNameEdit()->setText("my.pics.jpg");
    d.typeList()->setSelected(1);
    d.onCommand(CMD_CONVERT_TYPE);
    EXPECT_EQ(d.fileNameEdit()->getText(), "my.pics." + d.selectedExtension());

    // The filter's filter and the size fields' texts.
    const auto filter = fileTypesOfFilter("JPEG files|*.jpg;*.jpeg|PNG files|*.png|Odd|noext|All Files (*.*)|*|");
    ASSERT_EQ(filter.size(), 2u);
    EXPECT_EQ(filter[0].description + "=" + filter[0].extension, "JPEG files=jpg");
    EXPECT_EQ(filter[1].extension, "png");
    for (const auto& [text, value] : std::vector<std::pair<std::string, int>>{
             {"800", 800}, {"50%", -50}, {" 50 %", -50}, {"*", 0}, {"", 0}, {"12abc", 12}, {"99999999999", INT_MAX}})
        EXPECT_EQ(conversionSizeOf(text), value) << text;

    // The task keeps the names with the new extension and each picture's tone mapping.
    asked.clear();
    ops.sent.clear();
    ConversionTask conversion;
    oxToneMapping hdr = oxToneMapping::neutral();
    hdr.mode = TM_HDR_ONLY;
    conversion.pictures = {{a, oxToneMapping::neutral()}, {b, hdr}};
    conversion.operations = &ops;
    conversion.isListed = [&](const std::string& f) { return f == dir.path(); };
    conversion.askReplace = answering({MB_NO});
    conversion.queue(to, "", "png", -50, -50);
    conversion.askReplace = answering({MB_YES});
    conversion.pictures.resize(1);
    conversion.queue(dir.path(), "a.jpg", "png", 800, 0); // one picture: the name as typed, onto itself
    EXPECT_EQ(asked, (V{to + "/b.png several", a}));
    EXPECT_EQ(ops.sent, (V{"begin", "convert " + a + " " + to + "/a.png -50/-50 mode0 0", "end", "begin",
                           "convert " + a + " " + a + " 800/0 mode0 223 replace", "end"}));
}

using SettingsDialog = GuiTest;

// OK applies the style and stores every value (sizes truncated); a style that fails to apply is reported, the
// style as it was and the other values as chosen stored; Cancel changes nothing.
TEST_F(SettingsDialog, OkCancelAndStartValues)
{
    TestSettings settings;
    SoundSwitch sound{true};
    std::vector<oxGuiStyle> applied;
    std::vector<std::string> errors;
    const char* failWith = nullptr;
    // Makes the dialog with hooks that record what reaches the application.
    const auto dialog = [&](const oxGuiStyle& current = oxGuiStyle{}) {
        SettingsHooks hooks;
        hooks.applyStyle = [&](const oxGuiStyle& s) {
            if (failWith)
                throw oxException(failWith);
            applied.push_back(s);
        };
        hooks.reportError = [&](const std::string& text) { errors.push_back(text); };
        return std::make_unique<PVSettingsDlg>(current, std::move(hooks));
    };
    const auto setColour = [](oxGuiEdit* edit, const std::string& text, PVSettingsDlg& d) {
        edit->setText(text);
        EXPECT_TRUE(d.onCommand(CMD_SETTINGS_COLOUR_CHANGED));
    };
    const struct {
        const char* name;
        bool ok;
        const char* failWith;
        const char* stored;
    } cases[] = {
        {"cancel", false, nullptr, "- - - - - - "}, // first: nothing stored yet
        {"ok", true, nullptr, "17 #88AAFF #10203040 750000 1 0 "},
        {"failing style", true, "no font", "24 #FFFFFF #000000AA 750000 1 0 "},
    };
    oxGuiStyle style;
    style.textHeight = 24;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        failWith = c.failWith;
        applied.clear();
        auto d = dialog(style);
        app.script.push_back([&] {
            d->fontSizeSlider()->setValue(17.9);
            d->crossFadeSlider()->setValue(0.75);
            setColour(d->fgEdit(), "#8AF", *d);
            setColour(d->bgEdit(), "#10203040", *d);
            d->noSoundBox()->setChecked(true);
            d->glScalingBox()->setChecked(false);
            app.click(c.ok ? *d->okButton() : *d->cancelButton());
        });
        EXPECT_EQ(d->run(), c.ok);
        std::string stored; // the dialog's keys, "-" for none
        for (const char* key :
             {"GuiTextHeight", "GuiFgColour", "GuiBgColour", "AnimLengthUs", "NoSound", "UseGLMipmap"})
            stored += oxConfig::getString(key, "-") + " ";
        EXPECT_EQ(stored, c.stored);
        EXPECT_EQ(soundEnabled, !c.ok);
        EXPECT_EQ(errors, c.failWith ? std::vector<std::string>{"Error applying settings:\nno font"}
                                     : std::vector<std::string>{});
        EXPECT_EQ(d->style().textHeight, c.ok && !c.failWith ? 17 : 24);
        ASSERT_EQ(applied.size(), c.ok && !c.failWith ? 1u : 0u);
        if (!applied.empty()) {
            EXPECT_EQ(applied[0].fgColour, oxColour(0x88, 0xAA, 0xFF, 255));
            EXPECT_EQ(applied[0].bgColour, oxColour(0x10, 0x20, 0x30, 0x40));
        }
    }

    // The cross-fade slider's seconds become whole microseconds.
    for (const auto& [seconds, us] : {std::pair{0.75, 750000}, {0.29, 290000}, {0.0, 0}, {2.0, 2000000},
                                      {0.0000019, 1}, {1.9999999, 1999999}, {5.0, 2000000}, {-1.0, 0}})
        EXPECT_EQ(crossFadeMicroseconds(seconds), us) << seconds;

    // The dialog starts from the style and the stored values, within a small screen at the largest font size.
    failWith = nullptr;
    applied.clear();
    writeConfigInt(ConfigKey::AnimLengthUs, 1250000);
    writeConfigBool(ConfigKey::UseGLMipmap, false);
    writeConfigBool(ConfigKey::NoSound, true);
    style.textHeight = 50;
    style.fgColour = oxColour(0x88, 0xAA, 0xFF, 255);
    for (const auto& [w, h, shrinks] : {std::tuple{1024, 768, true}, {800, 600, true}, {3840, 2160, false}}) {
        app.windowWidth = w, app.windowHeight = h;
        auto d = dialog(style);
        const oxGuiSize size = d->getSize();
        const oxGuiPoint at = d->getPosition();
        EXPECT_LE(size.width, w) << w;
        EXPECT_LE(size.height, h) << w;
        EXPECT_GE(at.x, 0) << w;
        EXPECT_GE(at.y, 0) << w;
        // Shrunk only as far as needed: the text height is what decides.
        EXPECT_EQ(d->titleHeight() < 50, shrinks) << w;
        // The slider keeps the chosen size, whatever the dialog shows at.
        EXPECT_EQ(std::tuple(d->fgEdit()->getText(), d->bgEdit()->getText(), d->fontSizeSlider()->getValue(),
                             d->crossFadeSlider()->getValue(), d->glScalingBox()->isChecked(),
                             d->noSoundBox()->isChecked()),
                  std::tuple("#88AAFF", "#000000AA", 50.0, 1.25, false, true)) << w;
    }

    auto d = dialog();
    oxGuiModalButton* ok = d->okButton();
    for (const auto& [fg, bg, enabled] :
         {std::tuple{"", "#000", false}, {"#8AF", "#000", true}, {"#8AF", "#12", false}, {"#8AF", "#GGG", false},
          {"8AF", "#000", false}, {"#8AF", " #000", false}, {"#88AAFF", "#000000AA", true}}) {
        setColour(d->fgEdit(), fg, *d);
        setColour(d->bgEdit(), bg, *d);
        EXPECT_EQ(ok->isEnabled(), enabled) << fg << " " << bg;
    }

    // Typed while the dialog runs: the change command comes through the queue; a disabled "OK" ignores Enter.
    d = dialog();
    bool disabledSeen = false;
    app.script.push_back([&] {
        setFocus(d->fgEdit());
        d->fgEdit()->selectAll();
        app.type("#");
        app.deliverAll();
        disabledSeen = !d->okButton()->isEnabled();
        app.dispatchKeyDown(GUI_KEY_ENTER, false);
        app.deliverAll();
        app.type("fff");
        app.deliverAll();
        app.dispatchKeyDown(GUI_KEY_ENTER, false);
    });
    EXPECT_TRUE(d->run());
    EXPECT_TRUE(disabledSeen);
    ASSERT_EQ(applied.size(), 1u);
    EXPECT_EQ(applied[0].fgColour, oxColour(255, 255, 255, 255));
}

