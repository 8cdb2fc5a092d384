#pragma once
// The imaging control with one of its members failing as the control's own failures do.
#include <windows.h>
#include <oaidl.h>

class FailingControl : public IDispatch {
public:
    // Holds a reference to control for as long as it lives.
    FailingControl(IDispatch* control, DISPID failing) : control_(control), failing_(failing) {}
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
        return control_->Invoke(member, id, locale, flags, parameters, result, exception,
                                badArgument);
    }

private:
    IDispatch* control_;
    DISPID failing_;
    ULONG references_ = 1;
};
