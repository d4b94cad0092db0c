// The control's property page as a property frame drives it: its tab, its size, an empty page
// under the frame's widget, the objects it accepts, and that Apply has nothing to write.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <QWidget>

#include "control/Adjustment.h"
#include "platform/os/DialogUnits.h"
#include "control/LumicorCtrl.h"
#include "control/LumicorIds.h"
#include "control/LumicorPropPage.h"
#include "platform/com/ControlSite.h"
#include "platform/com/DispatchDriver.h"
#include "engine/CaptureSession.h"

namespace {

// The frame's side: a page with nothing to change never reports a change.
class RecordingSite final : public ComObject<IPropertyPageSite> {
public:
    HRESULT OnStatusChange(DWORD flags) override {
        changes.push_back(flags);
        return S_OK;
    }
    std::vector<DWORD> changes;
};

ComPtr<IPropertyPage> NewPage() {
    ComPtr<IPropertyPage> page;
    EXPECT_EQ(CreateLumicorPropPage(IPropertyPage::iid, page.ReleaseAndGetVoidAddress()), S_OK);
    return page;
}

}  // namespace

TEST(LumicorPropPage, IsTheGeneralTabOfTheTemplatesSizeAndBuildsAnEmptyPage) {
    ComPtr<IPropertyPage> page = NewPage();
    ASSERT_TRUE(page);
    PROPPAGEINFO info;
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(info.title, "General");
    const QSize expected = DialogUnitsToPixels(250, 62, QApplication::font());
    EXPECT_EQ(QSize(info.width, info.height), expected);
    EXPECT_GT(info.width, 3 * info.height);  // 250 by 62 units: a wide, flat page

    QWidget frame;
    ASSERT_EQ(page->Activate(&frame), S_OK);
    EXPECT_EQ(page->Activate(&frame), E_UNEXPECTED);  // one page widget at a time
    auto* widget = static_cast<CLumicorPropPage*>(page.Get())->Widget();
    ASSERT_TRUE(widget);
    EXPECT_EQ(widget->parentWidget(), &frame);
    EXPECT_EQ(widget->size(), expected);
    EXPECT_TRUE(widget->findChildren<QWidget*>().isEmpty());  // no fields at all

    EXPECT_EQ(page->Show(5), S_OK);
    frame.show();
    EXPECT_TRUE(widget->isVisible());
    EXPECT_EQ(page->Show(0), S_OK);
    EXPECT_FALSE(widget->isVisible());

    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_TRUE(frame.findChildren<QWidget*>().isEmpty());
    EXPECT_EQ(page->Show(5), E_UNEXPECTED);
    EXPECT_EQ(page->Activate(nullptr), E_POINTER);
}

TEST(LumicorPropPage, TakesAutomationObjectsOnlyAndApplyingWritesNothing) {
    ComPtr<IPropertyPage> page = NewPage();
    auto* self = static_cast<CLumicorPropPage*>(page.Get());
    ComPtr<RecordingSite> site = MakeCom<RecordingSite>();
    ASSERT_EQ(page->SetPageSite(site.Get()), S_OK);

    // Something that is no automation object: the frame leaves the page out.
    IUnknown* notDispatch[] = {site.Get()};
    EXPECT_EQ(page->SetObjects(1, notDispatch), E_NOINTERFACE);
    EXPECT_EQ(self->ObjectCount(), 0u);
    EXPECT_EQ(page->SetObjects(1, nullptr), E_POINTER);

    // Any automation object is taken; there is nothing to apply to it.
    CCaptureSession session;
    ComPtr<IDispatch> object = CreateAdjustment(AdjustmentKind::Brightness, &session);
    ASSERT_TRUE(object);
    IUnknown* objects[] = {object.Get()};
    ASSERT_EQ(page->SetObjects(1, objects), S_OK);
    EXPECT_EQ(self->ObjectCount(), 1u);
    QWidget frame;
    ASSERT_EQ(page->Activate(&frame), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_TRUE(site->changes.empty());
    EXPECT_EQ(page->Deactivate(), S_OK);

    // Count 0 lets the objects and the frame go.
    EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
    EXPECT_EQ(self->ObjectCount(), 0u);
    EXPECT_EQ(page->SetPageSite(nullptr), S_OK);
}

TEST(LumicorPropPage, ClassFactoryFunctionAnswersOnlyThePagesInterfaces) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateLumicorPropPage(IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CreateLumicorPropPage(IPropertyPage::iid, nullptr), E_POINTER);
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(CreateLumicorPropPage(IID_IUnknown, unknown.ReleaseAndGetVoidAddress()), S_OK);
    EXPECT_TRUE(unknown);
}

TEST(LumicorPropPage, ApplyingOrCancellingThePageChangesNothingInTheControl) {
    ComPtr<IUnknown> control;
    ASSERT_EQ(CreateLumicorCtrl(IID_IUnknown, control.ReleaseAndGetVoidAddress()), S_OK);
    QWidget container;
    ComPtr<ControlSite> site = ControlSite::Create(&container);
    ASSERT_EQ(site->AttachControl(control.Get()), S_OK);
    ASSERT_EQ(site->InitNew(), S_OK);
    DispatchDriver driver(site->Control());
    ASSERT_EQ(driver.PutProperty("FrameRate", Variant(int16_t{24})), S_OK);
    ASSERT_EQ(driver.PutProperty("CaptureFileName", Variant("/tmp/page.avi")), S_OK);
    PropertyBag before;
    ASSERT_EQ(site->Save(&before), S_OK);  // also clears the modified flag

    // The control names this page, and only it.
    ComPtr<ISpecifyPropertyPages> specify;
    ASSERT_EQ(control->QueryInterface(ISpecifyPropertyPages::iid, specify.ReleaseAndGetVoidAddress()), S_OK);
    CAUUID pages;
    ASSERT_EQ(specify->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.count, 1u);
    EXPECT_EQ(pages.elements[0], CLSID_LumicorPropPage);
    std::free(pages.elements);

    for (bool apply : {true, false}) {
        SCOPED_TRACE(apply ? "apply" : "cancel");
        ComPtr<IPropertyPage> page = NewPage();
        IUnknown* objects[] = {control.Get()};
        ASSERT_EQ(page->SetObjects(1, objects), S_OK);
        QWidget frame;
        ASSERT_EQ(page->Activate(&frame), S_OK);
        if (apply) {
            EXPECT_EQ(page->Apply(), S_OK);
        }
        EXPECT_EQ(page->Deactivate(), S_OK);
        EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);

        EXPECT_FALSE(site->IsDirty());
        PropertyBag after;
        ASSERT_EQ(site->Save(&after), S_OK);
        EXPECT_EQ(after.Serialize(), before.Serialize());
    }
    site->Destroy();
}
