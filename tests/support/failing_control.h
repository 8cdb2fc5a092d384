#pragma once
// The imaging control misbehaving as a control that is not ours may: one member failing
// as the control's own failures do, or saves that do other than they report.
#include <windows.h>
#include <oaidl.h>

#include "product/imaging_control.h"

class FailingControl : public IDispatch {
public:
    enum class SaveFault {
        None,
        Skip,          // reports the save done and does nothing
        Overwrite,     // writes the page over the file, and reports it done
        LinkThenFail,  // appends the page, and reports a failure
    };
    // Holds a reference to control for as long as it lives. `failing` fails every call.
    FailingControl(IDispatch* control, DISPID failing) : control_(control), failing_(failing) {}
    // The save numbered `save` (from 1; 0 for every save) goes wrong as `fault` says.
    FailingControl(IDispatch* control, SaveFault fault, int save)
            : control_(control), fault_(fault), faultySave_(save)
    {
    }
    ~FailingControl() { control_->Release(); }
    FailingControl(const FailingControl&) = delete;
    FailingControl& operator=(const FailingControl&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id != IID_IUnknown && id != IID_IDispatch) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IDispatch*>(this);
        return S_OK;
    }
    // Lives on the test's stack: counting is all there is to do.
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        return control_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override
    {
        return control_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override
    {
        return control_->GetIDsOfNames(id, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID id, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* badArgument) override
    {
        if (member == failing_)
            return E_FAIL;
        auto pass = [&] {
            return control_->Invoke(member, id, locale, flags, parameters, result, exception,
                                    badArgument);
        };
        if (member != ImageManDispId::SaveAs || (++saves_ != faultySave_ && faultySave_ != 0))
            return pass();
        switch (fault_) {
        case SaveFault::Skip:
            return S_OK;
        case SaveFault::Overwrite: {
            SetAppendImage(VARIANT_FALSE);
            HRESULT status = pass();
            SetAppendImage(VARIANT_TRUE);
            return status;
        }
        case SaveFault::LinkThenFail:
            pass();
            return E_FAIL;
        default:
            return pass();
        }
    }

private:
    void SetAppendImage(VARIANT_BOOL value)
    {
        VARIANT argument;
        VariantInit(&argument);
        argument.vt = VT_BOOL;
        argument.boolVal = value;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS parameters{&argument, &named, 1, 1};
        control_->Invoke(ImageManDispId::AppendImage, IID_NULL, 0, DISPATCH_PROPERTYPUT,
                         &parameters, nullptr, nullptr, nullptr);
    }

    IDispatch* control_;
    DISPID failing_ = DISPID_UNKNOWN;
    SaveFault fault_ = SaveFault::None;
    int faultySave_ = 0;
    int saves_ = 0;
    ULONG references_ = 1;
};
