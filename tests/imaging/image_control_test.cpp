#include <gtest/gtest.h>

#include <ole2.h>
#include <oleauto.h>

#include "base/exception.h"
#include "imaging/image_man.h"
#include "test_support.h"
#include "tiff/page.h"
#include "tiff/page_append.h"

namespace {

HRESULT CallControl(const char* function)
{
    return CallServer(BinDir() + "\\IMOCX32.OCX", function);
}

class ImageControl : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        OleInitialize(nullptr);
        ASSERT_EQ(CallControl("DllRegisterServer"), S_OK);
    }
    void SetUp() override
    {
        ASSERT_EQ(CoCreateInstance(CLSID_ImageMan, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&control)),
                  S_OK);
    }
    void TearDown() override { control->Release(); }

    HRESULT Put(DISPID id, VARIANT value, EXCEPINFO* exception = nullptr)
    {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS parameters{&value, &named, 1, 1};
        return control->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &parameters, nullptr,
                               exception, nullptr);
    }
    static VARIANT Short(short value)
    {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_I2;
        v.iVal = value;
        return v;
    }

    IDispatch* control = nullptr;
};

}  // namespace

TEST_F(ImageControl, BadCallsGetTheProperErrors)
{
    VARIANT two[2] = {Short(1), Short(1)};
    DISPID named[2] = {DISPID_PROPERTYPUT, DISPID_PROPERTYPUT};
    DISPPARAMS tooMany{two, named, 2, 2};
    EXPECT_EQ(control->Invoke(ImageManDispId::ScaleMethod, IID_NULL, 0, DISPATCH_PROPERTYPUT,
                              &tooMany, nullptr, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(control->Invoke(ImageManDispId::SaveAs, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr,
                              nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(
        control->Invoke(12345, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
        DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(control->Invoke(ImageManDispId::Refresh, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr,
                              nullptr, nullptr),
              S_OK);

    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"not a number");
    EXPECT_EQ(Put(ImageManDispId::Compression, text), DISP_E_TYPEMISMATCH);
    VariantClear(&text);

    EXCEPINFO exception{};
    EXPECT_EQ(Put(ImageManDispId::Compression, Short(77), &exception), DISP_E_EXCEPTION);
    EXPECT_NE(exception.bstrDescription, nullptr);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);

    VARIANT i4;
    VariantInit(&i4);
    i4.vt = VT_I4;
    i4.lVal = 4;
    EXPECT_EQ(Put(ImageManDispId::Compression, i4), S_OK) << "coerced like any automation object";
}

TEST_F(ImageControl, WrapperRaisesTheControlsOwnText)
{
    TImageMan im;
    try {
        im.SetPicture(BinDir() + "\\no such page.tif");
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("no such page.tif"), std::string::npos) << e.what();
    }
    try {
        im.SaveAs(BinDir() + "\\out.tif");
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("no image is loaded"), std::string::npos) << e.what();
    }
}

TEST_F(ImageControl, AppendedPagesKeepTheirPixels)
{
    TempDir dir;
    std::string merged = dir / "merged.tif";
    TImageMan im;
    for (int sample : {1, 2}) {
        im.SetScaleMethod(1);
        im.SetPicture(SamplePage(sample));
        im.Refresh();
        im.SetAppendImage(true);
        im.SetCompression(4);
        im.SaveAs(merged);
    }
    {
        faxtiff::TiffFile file = faxtiff::TiffFile::Open(merged);
        ASSERT_EQ(file.PageCount(), 2u);
        EXPECT_EQ(file.Info(1).compression, 4);
        EXPECT_TRUE(file.ReadPage(1).Bitmap() == faxtiff::LoadPage(SamplePage(2)).Bitmap());
    }

    // Without AppendImage the file is replaced by the one page.
    im.SetAppendImage(false);
    im.SaveAs(merged);
    EXPECT_EQ(faxtiff::TiffFile::Open(merged).PageCount(), 1u);
}

// The control codes a page for the compression in force when it loads, so the usual
// save writes that coding; a compression set after loading must still be the one saved,
// and a page whose rows do not decode must fail to load, not to save.
TEST_F(ImageControl, LoadDecodesThePageAndSaveUsesTheCompressionSetLast)
{
    TempDir dir;
    TImageMan im;
    im.SetCompression(4);
    im.SetPicture(SamplePage(1));
    im.SetCompression(3);
    im.SetAppendImage(false);
    std::string saved = dir / "saved.tif";
    im.SaveAs(saved);
    {
        faxtiff::TiffFile file = faxtiff::TiffFile::Open(saved);
        EXPECT_EQ(file.Info(0).compression, 3);
        EXPECT_TRUE(file.ReadPage(0).Bitmap() == faxtiff::LoadPage(SamplePage(1)).Bitmap());
    }

    faxtiff::CodedPage cut = faxtiff::TiffFile::Open(SamplePage(2)).ReadCoded(0);
    cut.strips.front().resize(cut.strips.front().size() / 2);
    std::string broken = dir / "broken.tif";
    faxtiff::WritePage(broken, cut);
    try {
        im.SetPicture(broken);
        FAIL() << "a page that does not decode loaded";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("broken.tif"), std::string::npos) << e.what();
    }
    im.SaveAs(saved);
    EXPECT_TRUE(faxtiff::LoadPage(saved).Bitmap() == faxtiff::LoadPage(SamplePage(1)).Bitmap())
        << "the page loaded last is still the control's image";
}

TEST_F(ImageControl, UnregisteredControlCannotBeCreated)
{
    ASSERT_EQ(CallControl("DllUnregisterServer"), S_OK);
    EXPECT_THROW(TImageMan(), Exception);
    ASSERT_EQ(CallControl("DllRegisterServer"), S_OK);
}
