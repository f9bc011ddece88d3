#include "test_support.h"

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/settings.h"
#include "runtime/heap.h"
#include "view/object_table.h"

namespace {

// Test objects: each answers the focus order and selectable queries from a
// table indexed by id, and records the messages it got.
std::vector<int> order;
std::vector<std::string> received;

int32_t testNotify(int id, int message, int a, void *b)
{
    received.push_back(std::to_string(id) + ":" + std::to_string(message));
    if (message == OB_MSG_FOCUS_ORDER) return order[static_cast<size_t>(id)];
    if (message == OB_MSG_SELECTABLE) return order[static_cast<size_t>(id)] >= 0;
    return OB_SquareNotify(id, message, a, b);
}

class ObjectTable : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        MU_init();
        order.clear();
        received.clear();
        pterm.show_selection = 1;
    }
    OB_Object *add(int x, int y, int w, int h, int orderNumber)
    {
        int16_t id;
        OB_Object *o = OB_LoadObj(sizeof(OB_Object), &id);
        o->x = static_cast<int16_t>(x), o->y = static_cast<int16_t>(y);
        o->width = static_cast<int16_t>(w), o->height = static_cast<int16_t>(h);
        o->Notify = testNotify;
        order.push_back(orderNumber);
        return o;
    }
};

} // namespace

TEST_F(ObjectTable, LookupsMessagesAndDeletion)
{
    EXPECT_EQ(OB_Get_Pointer(-1), nullptr);
    EXPECT_EQ(OB_Get_Pointer(1000), nullptr);
    EXPECT_EQ(OB_SendMessage(-1, OB_MSG_FOCUS_GAINED, 0, nullptr), -10);
    OB_Object *a = add(0, 0, 1, 1, -1);
    EXPECT_EQ(OB_Get_Pointer(0), a);
    EXPECT_EQ(OB_SendMessage(0, 230, 0, nullptr), 0) << "codes outside 200..225 answer 0";
    EXPECT_EQ(OB_SendMessage(0, OB_MSG_POINTER_DOWN, 0, nullptr), -1);
    a->Notify = nullptr;
    EXPECT_EQ(OB_SendMessage(0, OB_MSG_DRAW, 0, nullptr), -1);
    EXPECT_NE(readFile(path("pterm.log")).find("ptr->Notify is null for object id 0!\n"), std::string::npos);
    a->Notify = testNotify;

    add(0, 0, 1, 1, -1);
    uint32_t mark = MU_getMyHeapSize();
    add(0, 0, 1, 1, -1);
    OB_Delete_Object(2);
    EXPECT_EQ(OB_HowManyObjetcs(), 2);
    OB_restoreMemFromDeletedObject(2);
    EXPECT_EQ(MU_getMyHeapSize(), mark) << "the last object's memory is given back";
    OB_Delete_Object(2);
    EXPECT_EQ(OB_HowManyObjetcs(), 2) << "an empty slot is not deleted twice";

    OB_setActualFocus(1);
    OB_DeleteAllObjetcs();
    EXPECT_EQ(received.back(), "1:" + std::to_string(OB_MSG_DELETE));
    EXPECT_EQ(OB_HowManyObjetcs(), 0);
    EXPECT_EQ(OB_getActualFocus(), -1);
    EXPECT_EQ(OB_Get_Pointer(0), nullptr);
}

TEST_F(ObjectTable, FocusOrderWrapsBothWays)
{
    add(0, 0, 1, 1, 3);
    add(0, 0, 1, 1, 7);
    add(0, 0, 1, 1, -1);
    add(0, 0, 1, 1, 5);
    EXPECT_EQ(OB_setFirstObjectInFocus(1), 0);
    EXPECT_EQ(OB_Get_Pointer(0)->focus, 1);
    OB_setNextObjectInFocus();
    EXPECT_EQ(OB_getActualFocus(), 3);
    OB_setNextObjectInFocus();
    EXPECT_EQ(OB_getActualFocus(), 1);
    OB_setNextObjectInFocus();
    EXPECT_EQ(OB_getActualFocus(), 0) << "wraps to the smallest order number";
    OB_setPreviousObjectInFocus();
    EXPECT_EQ(OB_getActualFocus(), 1) << "backward from 3 wraps to 7";
    OB_SendMessage(1, OB_MSG_FOCUS_PREVIOUS, 0, nullptr);
    EXPECT_EQ(OB_getActualFocus(), 3);
    EXPECT_EQ(OB_Get_Pointer(1)->focus, 0);

    EXPECT_EQ(OB_setFirstObjectInFocus(0), 3);
    OB_setActualFocus(-1);
    OB_setNextObjectInFocus();
    EXPECT_EQ(OB_getActualFocus(), 0) << "without a focus only objects in the focus order are candidates";
    pterm.show_selection = 0;
    EXPECT_EQ(OB_setFirstObjectInFocus(1), -1);
    EXPECT_EQ(OB_getActualFocus(), -1);
}

TEST_F(ObjectTable, HitTestsAndPointerCoordinates)
{
    add(10, 10, 20, 20, 1);
    add(20, 20, 20, 20, 2);
    add(100, 100, 5, 5, -1);
    EXPECT_EQ(OB_getSelectableObjectWithCoord(25, 25), 1) << "the later of two overlapping objects";
    EXPECT_EQ(OB_getSelectableObjectWithCoord(10, 10), 0);
    EXPECT_EQ(OB_getSelectableObjectWithCoord(30, 15), 0) << "the right edge x + width is inside";
    EXPECT_EQ(OB_getSelectableObjectWithCoord(102, 102), -1) << "not selectable";

    OB_Point edge{30, 15}, inside{29, 29}, outside{31, 15};
    EXPECT_FALSE(OB_checkMouseDnCoordinates(OB_Get_Pointer(0), &edge));
    EXPECT_TRUE(OB_checkMouseDnCoordinates(OB_Get_Pointer(0), &inside));
    OB_setDownCoord(inside);
    EXPECT_TRUE(OB_checkMouseUpCoordinates(OB_Get_Pointer(0), &inside));
    EXPECT_FALSE(OB_checkMouseUpCoordinates(OB_Get_Pointer(0), &outside));
    OB_setDownCoord(outside);
    EXPECT_FALSE(OB_checkMouseUpCoordinates(OB_Get_Pointer(0), &inside)) << "the press began elsewhere";
}

TEST_F(ObjectTable, BackgroundLayerMovesToTheFrontAndIdsFollow)
{
    for (int i = 0; i < 13; i++) add(i, 0, 1, 1, -1);
    OB_MoveObjectsToBack(0, 10, 3);
    for (int id = 0; id < 13; id++) {
        EXPECT_EQ(OB_Get_Pointer(id)->id, id);
        EXPECT_EQ(OB_Get_Pointer(id)->x, id < 3 ? 10 + id : id - 3);
    }
    OB_MoveObjectsToBack(5, 5, 3);
    EXPECT_EQ(OB_Get_Pointer(5)->x, 2) << "start <= first moves nothing";
    OB_MoveObjectsToBack(0, 12, 5);
    EXPECT_EQ(OB_Get_Pointer(0)->x, 10) << "a range past the table moves nothing";
}

TEST_F(ObjectTable, ModalForegroundEnablesOnlyTheForegroundLayer)
{
    for (int i = 0; i < 12; i++) add(i, 0, 1, 1, i);
    OB_setLayerCounts(0, 4);
    OB_setActualFocus(2);
    OB_setModalForegroundTeq(1);
    EXPECT_TRUE(OB_isModalForegroundTeq());
    EXPECT_EQ(OB_GetFirstObject(), 8);
    EXPECT_FALSE(OB_isEnabled(7));
    EXPECT_TRUE(OB_isEnabled(8));
    EXPECT_EQ(OB_getActualFocus(), 8);
    EXPECT_NE(std::find(received.begin(), received.end(), "2:255"), received.end()) << "the old focus ends editing";
    EXPECT_EQ(OB_setFirstObjectInFocus(0), 11);
    received.clear();
    OB_setModalForegroundTeq(1);
    EXPECT_TRUE(received.empty()) << "only a change acts";
    OB_setModalForegroundTeq(0);
    EXPECT_EQ(OB_getActualFocus(), 2);
    EXPECT_EQ(OB_GetFirstObject(), 0);
    EXPECT_TRUE(OB_isEnabled(0));
}

TEST_F(ObjectTable, ObjectsPastTheTableAreMadeButNotEntered)
{
    for (int i = 0; i < OB_MAX_OBJECTS; i++) add(0, 0, 1, 1, -1);
    int16_t id = 5;
    OB_Object *extra = OB_LoadObj(sizeof(OB_Object), &id);
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(OB_HowManyObjetcs(), OB_MAX_OBJECTS);
    EXPECT_EQ(OB_getOverflowCount(), 1);
    OB_setHowManyObjetcs(10);
    EXPECT_EQ(OB_Get_Pointer(10), nullptr) << "objects cut off by a smaller count are gone";
}
