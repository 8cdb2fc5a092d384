#include <gtest/gtest.h>

#include <ole2.h>
#include <oleauto.h>
#include <ocidl.h>

#include <string>

#include "base/exception.h"
#include "base/text_conversion.h"
#include "failing_control.h"
#include "imaging/image_man.h"
#include "test_support.h"
#include "tiff/page.h"
#include "tiff/page_append.h"

namespace {

HRESULT CallControl(const char* function)
{
    return CallServer(BinDir() + "\\IMOCX32.OCX", function);
}

// A container's client site that counts the references held on it.
class CountingSite : public IOleClientSite {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IOleClientSite)
            return E_NOINTERFACE;
        *object = static_cast<IOleClientSite*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override
    {
        *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override
    {
        *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    ULONG references = 1;  // the test's own
};

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
    TImageMan im(nullptr, {}, L"");
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
    TImageMan im(nullptr, {}, L"");
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
    TImageMan im(nullptr, {}, L"");
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

// What is wrong is said in words: a control registered nowhere, to another file, or only for
// programs of the other bitness, or one that names a member the program drives otherwise.
TEST_F(ImageControl, AControlThatCannotBeUsedIsNamedWithTheCause)
{
    auto failure = [](auto make) {
        try {
            make();
        } catch (const ImagingControlError& error) {
            return std::string(error.what());
        }
        return std::string("(no error)");
    };
    const std::string named =
        "The imaging control IMOCX32.OCX {0EABA3C0-D884-101B-8CAE-00006E44AAB2} ";
    ASSERT_EQ(CallControl("DllUnregisterServer"), S_OK);
    EXPECT_EQ(failure([] { TImageMan(nullptr, {}, L""); }),
              named + "is not registered. Run the fax product's registration tool ZEP.EXE, "
                      "or register the control with regsvr32.");

    int bits = sizeof(void*) * 8;
    std::wstring key = L"CLSID\\{0EABA3C0-D884-101B-8CAE-00006E44AAB2}";
    REGSAM otherView = bits == 32 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    HKEY server = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (key + L"\\InprocServer32").c_str(), 0, nullptr, 0,
                              KEY_WRITE | otherView, nullptr, &server, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(server);
    EXPECT_EQ(failure([] { TImageMan(nullptr, {}, L""); }),
              named + "is registered only for " + std::to_string(96 - bits) +
                  "-bit programs, and this program is " + std::to_string(bits) +
                  "-bit. Use the program of the control's bitness.");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    HKEY root = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_ALL_ACCESS | otherView, &root),
              ERROR_SUCCESS);
    RegDeleteTreeW(root, key.substr(6).c_str());
    RegCloseKey(root);

    // Registered to a file that is not the system directory's control (which the program
    // checked at its start) and that cannot be loaded: both files are named.
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (key + L"\\InprocServer32").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &server, nullptr),
              ERROR_SUCCESS);
    const wchar_t elsewhere[] = L"C:\\NOWHERE\\IMOCX32.OCX";
    RegSetValueExW(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(elsewhere),
                   sizeof elsewhere);
    RegCloseKey(server);
    std::string text = failure([] { TImageMan(nullptr, {}, L""); });
    // Named as a 64-bit prompt reaches it: the 32-bit programs' system directory is syswow64.
    std::string system = SystemDirectory();
    if (bits == 32)
        system.replace(system.size() - 8, 8, "syswow64");
    system += "\\IMOCX32.OCX";
    EXPECT_EQ(text.rfind(named +
                             "is registered to C:\\NOWHERE\\IMOCX32.OCX, not to the system "
                             "directory's " +
                             system + ", and cannot be created (",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("with regsvr32 \"" + system + "\"."), std::string::npos) << text;
    ASSERT_EQ(CallControl("DllRegisterServer"), S_OK);

    // SaveAs under another identifier: the control is not the one the program drives.
    struct RenumberedControl : FailingControl {
        using FailingControl::FailingControl;
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale,
                                                DISPID* ids) override
        {
            HRESULT status = FailingControl::GetIDsOfNames(id, names, count, locale, ids);
            if (SUCCEEDED(status) && ids[0] == ImageManDispId::SaveAs)
                ids[0] = 64;
            return status;
        }
    } renumbered(control, DISPID_UNKNOWN);
    control->AddRef();
    EXPECT_EQ(failure([&] { CheckDispatchIds(&renumbered); }),
              named + "gives its member SaveAs the dispatch identifier 64, where this program "
                      "uses 63: it is not the imaging control this program drives.");
    EXPECT_EQ(failure([&] { CheckDispatchIds(control); }), "(no error)");
}

// Hosted as containers host a licensed control: created with its runtime key only, the
// client site first, initialised as new once, closed, and still doing its work after.
TEST_F(ImageControl, HostedAsAnActiveXControl)
{
    IClassFactory2* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_ImageMan, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory2,
                               reinterpret_cast<void**>(&factory)),
              S_OK);
    LICINFO licence{};
    ASSERT_EQ(factory->GetLicInfo(&licence), S_OK);
    EXPECT_EQ(licence.cbLicInfo, static_cast<LONG>(sizeof licence));
    EXPECT_TRUE(licence.fRuntimeKeyAvail);
    EXPECT_TRUE(licence.fLicVerified);
    BSTR key = nullptr;
    ASSERT_EQ(factory->RequestLicKey(0, &key), S_OK);
    EXPECT_EQ(std::wstring(key, SysStringLen(key)), L"Kelvarin stand-in imaging control");
    BSTR shortKey = SysAllocStringLen(key, SysStringLen(key) - 1);
    IUnknown* refused = nullptr;
    EXPECT_EQ(factory->CreateInstanceLic(nullptr, nullptr, IID_IUnknown, shortKey,
                                         reinterpret_cast<void**>(&refused)),
              CLASS_E_NOTLICENSED);
    EXPECT_EQ(refused, nullptr);
    IOleObject* object = nullptr;
    HRESULT created = factory->CreateInstanceLic(nullptr, nullptr, IID_IOleObject, key,
                                                 reinterpret_cast<void**>(&object));
    SysFreeString(shortKey);
    SysFreeString(key);
    factory->Release();
    ASSERT_EQ(created, S_OK);

    DWORD misc = 0;
    EXPECT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_TRUE(misc & OLEMISC_SETCLIENTSITEFIRST);
    CountingSite site;
    EXPECT_EQ(object->SetClientSite(&site), S_OK);
    IOleClientSite* kept = nullptr;
    EXPECT_EQ(object->GetClientSite(&kept), S_OK);
    EXPECT_EQ(kept, &site);
    if (kept)
        kept->Release();
    EXPECT_EQ(site.references, 2u) << "the control holds its site once";

    IPersistStreamInit* persist = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)),
              S_OK);
    EXPECT_EQ(persist->InitNew(), S_OK);
    EXPECT_EQ(persist->InitNew(), E_UNEXPECTED) << "initialised twice";
    persist->Release();

    EXPECT_EQ(object->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_EQ(object->SetClientSite(nullptr), S_OK);
    EXPECT_EQ(site.references, 1u);

    IDispatch* dispatch = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    auto invokeWithPath = [dispatch](DISPID id, WORD flags, const std::string& path) {
        VARIANT argument;
        VariantInit(&argument);
        argument.vt = VT_BSTR;
        argument.bstrVal = SysAllocString(ToWide(path).c_str());
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS parameters{&argument, &named, 1, flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
        HRESULT status =
            dispatch->Invoke(id, IID_NULL, 0, flags, &parameters, nullptr, nullptr, nullptr);
        VariantClear(&argument);
        return status;
    };
    TempDir dir;
    std::string saved = dir / "saved.tif";
    EXPECT_EQ(invokeWithPath(ImageManDispId::Picture, DISPATCH_PROPERTYPUT, SamplePage(1)), S_OK);
    EXPECT_EQ(invokeWithPath(ImageManDispId::SaveAs, DISPATCH_METHOD, saved), S_OK);
    EXPECT_TRUE(faxtiff::LoadPage(saved).Bitmap() == faxtiff::LoadPage(SamplePage(1)).Bitmap())
        << "the closed control still loads and saves";
    dispatch->Release();

    // A site the container never took back goes with the control.
    EXPECT_EQ(object->SetClientSite(&site), S_OK);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_EQ(site.references, 1u);
}
