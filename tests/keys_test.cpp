// Enable states, the keyboard table, field focus cycling and the command table,
// driven through the headless platform layer.
#include <gtest/gtest.h>
#include "map/map.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "ui/keys.h"
#include "ui/session.h"
#include "ui/strings.h"
#include <vector>

using namespace orvane;

namespace {
std::vector<int> sentCommands;
void recordCommand(int id) { sentCommands.push_back(id); }

class KeysTest : public ::testing::Test {
protected:
    Session session;

    void SetUp() override
    {
        headlessReset();
        sentCommands.clear();
        headlessSetCommandHandler(recordCommand);
    }
    void TearDown() override { headlessSetCommandHandler(nullptr); }

    std::vector<HeadlessEvent> eventsOf(HeadlessEvent::Kind kind) const
    {
        std::vector<HeadlessEvent> out;
        for (const HeadlessEvent& e : headlessEvents())
            if (e.kind == kind) out.push_back(e);
        return out;
    }
};

TEST_F(KeysTest, EnableStatesFollowTheTable)
{
    const bool expected[5][4] = {
        {false, false, false, false}, {false, false, false, false}, {false, false, true, true},
        {true, true, false, true}, {true, true, true, true}};
    for (int state = 0; state <= 4; ++state) {
        headlessReset();
        session.setCommandState(CommandState::stepping);
        session.setCommandState(static_cast<CommandState>(state));
        const int buttons[4] = {idStep, idFull, idClear, idExport};
        for (int b = 0; b < 4; ++b) EXPECT_EQ(controlEnabled(buttons[b]), expected[state][b]) << state << " " << b;
        EXPECT_EQ(headlessEvents().back().kind, HeadlessEvent::focusMain);
        for (int id : {idFix, idAuto, idMapRequest, idBatch, idSeedField, idNodeField, idMapCountField})
            EXPECT_TRUE(controlEnabled(id));
    }
}

TEST_F(KeysTest, HideAndShowAllControls)
{
    session.setCommandState(CommandState::fresh);
    headlessSetFocus(idSeedField);
    headlessEvents().clear();
    session.setCommandState(CommandState::hideAll);
    for (int id = idSeedLabel; id <= idBatch; ++id) EXPECT_FALSE(headlessControlShown(id));
    EXPECT_TRUE(controlEnabled(idStep));  // unchanged by hiding
    EXPECT_EQ(focusedControl(), idSeedField);
    EXPECT_EQ(headlessEvents().size(), 13u);

    session.setCommandState(CommandState::showAll);
    for (int id = idSeedLabel; id <= idBatch; ++id) EXPECT_TRUE(headlessControlShown(id));
    for (int id : {idStep, idFull, idClear, idExport}) EXPECT_FALSE(controlEnabled(id));
    EXPECT_EQ(focusedControl(), 0);
}

TEST_F(KeysTest, TabAndShiftTabCycleTheFieldsAndSelectWholeText)
{
    struct Row { int focus; bool shift; int target; };
    const Row rows[] = {
        {0, false, idSeedField}, {idFix, false, idSeedField}, {idSeedField, false, idNodeField},
        {idNodeField, false, idMapCountField}, {idMapCountField, false, idSeedField},
        {0, true, idMapCountField}, {idSeedField, true, idMapCountField}, {idNodeField, true, idSeedField},
        {idMapCountField, true, idNodeField}};
    for (const Row& r : rows) {
        headlessReset();
        headlessSetFocus(r.focus);
        headlessSetShift(r.shift);
        handleKeyDown(keyTab);
        EXPECT_EQ(focusedControl(), r.target) << r.focus << (r.shift ? " shift" : "");
        const auto selected = eventsOf(HeadlessEvent::selectText);
        ASSERT_EQ(selected.size(), 1u);
        EXPECT_EQ(selected[0].id, r.target);
    }
    EXPECT_TRUE(sentCommands.empty());
}

TEST_F(KeysTest, EnterInAFieldReturnsFocusOtherKeysStayWithTheField)
{
    session.setCommandState(CommandState::stepping);
    for (int field : {idSeedField, idNodeField, idMapCountField}) {
        headlessSetFocus(field);
        for (int key : {keyLeft, keyUp, keyRight, keyDown, keyA, keyF}) handleKeyDown(key);
        EXPECT_EQ(focusedControl(), field);
        handleKeyDown(keyEnter);
        EXPECT_EQ(focusedControl(), 0);
    }
    EXPECT_TRUE(sentCommands.empty());
}

TEST_F(KeysTest, KeysSendTheirButtonsCommandOnlyWhileEnabled)
{
    session.setCommandState(CommandState::allOff);
    for (int key : {int(keyLeft), int(keyUp), int(keyRight), int(keyDown), int(keyA), int(keyF), int(keyEnter), int('B')}) handleKeyDown(key);
    EXPECT_EQ(sentCommands, (std::vector<int>{idMapRequest, idAuto, idFix}));

    sentCommands.clear();
    session.setCommandState(CommandState::stepping);
    headlessSetFocus(idFix);  // the focus stays on a clicked button; keys still act
    for (int key : {keyLeft, keyUp, keyRight, keyDown, keyA, keyF}) handleKeyDown(key);
    EXPECT_EQ(sentCommands, (std::vector<int>{idClear, idMapRequest, idStep, idFull, idAuto, idFix}));

    sentCommands.clear();
    session.setCommandState(CommandState::finished);
    for (int key : {keyLeft, keyRight, keyDown}) handleKeyDown(key);
    EXPECT_EQ(sentCommands, (std::vector<int>{idClear}));
}

TEST_F(KeysTest, FixAndAutoMoveTheSeedBetweenLabelAndField)
{
    writeControlText(idSeedLabel, u"0000001a");
    writeControlText(idSeedField, u"ff");
    runCommand(session, idFix);
    EXPECT_EQ(headlessControlText(idSeedField), u"0000001a");

    writeControlText(idSeedField, u"beef");
    runCommand(session, idAuto);
    EXPECT_EQ(headlessControlText(idSeedLabel), u"beef");
    EXPECT_EQ(headlessControlText(idSeedField), u"");
    EXPECT_EQ(std::u16string(session.fields.seedText), u"beef");

    // AUTO with an empty field keeps the label; FIX with an empty label empties the field.
    runCommand(session, idAuto);
    EXPECT_EQ(headlessControlText(idSeedLabel), u"beef");
    writeControlText(idSeedLabel, u"");
    writeControlText(idSeedField, u"12");
    runCommand(session, idFix);
    EXPECT_EQ(headlessControlText(idSeedField), u"");
    EXPECT_TRUE(eventsOf(HeadlessEvent::focusMain).empty());  // neither touches the focus
}

TEST_F(KeysTest, StepFullAndClearCommandsDriveTheEngineAndButtons)
{
    session.displayMode = DisplayMode::map;
    session.map = Map::build(0x42, 50);
    session.colouring.restart(session.map);
    session.setCommandState(CommandState::fresh);
    runCommand(session, idStep);
    EXPECT_FALSE(session.colouring.finished());
    EXPECT_TRUE(controlEnabled(idClear));
    runCommand(session, idFull);
    EXPECT_TRUE(session.colouring.finished());
    EXPECT_FALSE(controlEnabled(idStep));
    EXPECT_TRUE(controlEnabled(idClear));
    EXPECT_TRUE(controlEnabled(idExport));
    EXPECT_EQ(headlessControlText(idStatus), windowstrings::successText);

    runCommand(session, idClear);
    EXPECT_EQ(session.colouring.phase(), Phase::prepare);
    EXPECT_EQ(headlessControlText(idStatus), u"");
    int listed = 0;
    for (NodeIndex v = session.colouring.firstListed(); v != noNode; v = session.colouring.nextListed(v), ++listed)
        EXPECT_EQ(session.colouring.colour(v), colourNone);
    EXPECT_EQ(listed, 50);  // nothing set aside any more
    EXPECT_TRUE(controlEnabled(idStep));
    EXPECT_FALSE(controlEnabled(idClear));

    headlessEvents().clear();
    runCommand(session, 9999);  // no handler: nothing happens
    EXPECT_EQ(session.colouring.phase(), Phase::prepare);
    EXPECT_TRUE(headlessEvents().empty());
}
}  // namespace
