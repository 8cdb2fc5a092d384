/* Orbelle ImageMan OCX: its automation members, the only way its clients drive it. */
#include "vendor_imocx32.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

typedef enum { Behave, Skip, Overwrite, LinkFail } Misbehaviour;

static LONG SaveCalls;

FORWARD_UNKNOWN(Automation, IDispatch, dispatch)

static const struct {
    const WCHAR* name;
    DISPID id;
} Members[] = {{L"Compression", DispCompression}, {L"ScaleMethod", DispScaleMethod},
               {L"AppendImage", DispAppendImage}, {L"Picture", DispPicture},
               {L"SaveAs", DispSaveAs},           {L"Refresh", DispRefresh}};

static BOOL SameName(const WCHAR* a, const WCHAR* b)
{
    for (; *a && *b; ++a, ++b) {
        WCHAR x = *a >= L'a' && *a <= L'z' ? *a - (L'a' - L'A') : *a;
        WCHAR y = *b >= L'a' && *b <= L'z' ? *b - (L'a' - L'A') : *b;
        if (x != y)
            return FALSE;
    }
    return *a == *b;
}

static HRESULT STDMETHODCALLTYPE AutomationGetTypeInfoCount(IDispatch* This, UINT* count)
{
    (void)This;
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE AutomationGetTypeInfo(IDispatch* This, UINT index, LCID locale,
                                                       ITypeInfo** info)
{
    (void)This;
    (void)index;
    (void)locale;
    if (!info)
        return E_POINTER;
    *info = NULL;
    return DISP_E_BADINDEX;
}

static HRESULT STDMETHODCALLTYPE AutomationGetIDsOfNames(IDispatch* This, REFIID iid,
                                                         LPOLESTR* names, UINT count, LCID locale,
                                                         DISPID* ids)
{
    HRESULT status = S_OK;
    UINT i, m;
    (void)This;
    (void)locale;
    if (!IsEqualIID(iid, &IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (count > 0 && (!names || !ids))
        return E_INVALIDARG;
    for (i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
        /* No member takes named arguments: only the member's own name is known. */
        for (m = 0; i == 0 && names[0] && m < sizeof Members / sizeof Members[0]; ++m)
            if (SameName(names[0], Members[m].name))
                ids[0] = Members[m].id;
        if (ids[i] == DISPID_UNKNOWN)
            status = DISP_E_UNKNOWNNAME;
    }
    return status;
}

/* Errors from loading or saving: the file and what went wrong. */
static HRESULT Fail(EXCEPINFO* exception, BSTR name, const char* problem)
{
    if (exception) {
        UINT nameLength = SysStringLen(name), problemLength = (UINT)strlen(problem), i;
        BSTR text = SysAllocStringLen(NULL, nameLength + 2 + problemLength);
        memset(exception, 0, sizeof *exception);
        exception->scode = E_FAIL;
        exception->bstrSource = SysAllocString(L"Orbelle ImageMan OCX");
        if (text) {
            if (nameLength)
                memcpy(text, name, nameLength * sizeof(WCHAR));
            text[nameLength] = L':';
            text[nameLength + 1] = L' ';
            for (i = 0; i < problemLength; ++i)
                text[nameLength + 2 + i] = (WCHAR)(unsigned char)problem[i];
            exception->bstrDescription = text;
        }
    }
    return DISP_E_EXCEPTION;
}

/* The file name as this system's code page writes it, whole, or NULL. */
static char* AnsiPath(BSTR name)
{
    int length = (int)SysStringLen(name), size;
    BOOL exact = GetACP() == CP_UTF8;
    DWORD flags = exact ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL lost = FALSE;
    char* path;
    if (length == 0 || wmemchr(name, L'\0', (size_t)length))
        return NULL;
    size = WideCharToMultiByte(CP_ACP, flags, name, length, NULL, 0, NULL, exact ? NULL : &lost);
    if (size <= 0 || lost)
        return NULL;
    path = malloc((size_t)size + 1);
    if (!path)
        return NULL;
    if (WideCharToMultiByte(CP_ACP, flags, name, length, path, size, NULL, exact ? NULL : &lost) !=
            size ||
        lost) {
        free(path);
        return NULL;
    }
    path[size] = '\0';
    return path;
}

static HRESULT PutPicture(ImageControl* self, VARIANT* value, EXCEPINFO* exception)
{
    char problem[ORB_PROBLEM_SIZE];
    OrbPage page;
    char* path;
    BOOL read;

    if (SysStringLen(V_BSTR(value)) == 0) {
        /* No name: no image. */
        FreePage(&self->image);
        self->hasImage = FALSE;
    } else {
        path = AnsiPath(V_BSTR(value));
        if (!path)
            return Fail(exception, V_BSTR(value), "the file name cannot be used");
        read = ReadFirstPage(path, &page, problem);
        free(path);
        if (!read)
            return Fail(exception, V_BSTR(value), problem);
        FreePage(&self->image);
        self->image = page;
        self->hasImage = TRUE;
    }
    SysFreeString(self->picture);
    self->picture = V_BSTR(value);
    V_VT(value) = VT_EMPTY; /* the control keeps the name */
    return S_OK;
}

static Misbehaviour ChosenMisbehaviour(LONG call)
{
    char kind[16];
    GetPrivateProfileStringA("Misbehave", "Kind", "", kind, sizeof kind, IniPath);
    if ((LONG)GetPrivateProfileIntA("Misbehave", "Save", 0, IniPath) != call)
        return Behave;
    if (lstrcmpiA(kind, "skip") == 0)
        return Skip;
    if (lstrcmpiA(kind, "overwrite") == 0)
        return Overwrite;
    if (lstrcmpiA(kind, "linkfail") == 0)
        return LinkFail;
    return Behave;
}

static HRESULT SaveAs(ImageControl* self, BSTR name, VARIANT* result, EXCEPINFO* exception)
{
    static const char* const Marks[] = {"", " skip", " overwrite", " linkfail"};
    Misbehaviour how = ChosenMisbehaviour(InterlockedIncrement(&SaveCalls));
    char problem[ORB_PROBLEM_SIZE] = "";
    char* path = AnsiPath(name);
    BOOL saved = TRUE;

    LogLine("SaveAs %s%s", path ? path : "?", Marks[how]);
    if (!path)
        return Fail(exception, name, "the file name cannot be used");
    if (!self->hasImage) {
        free(path);
        return Fail(exception, name, "no image is loaded");
    }
    if (how == Overwrite)
        saved = SavePage(path, &self->image, FALSE, problem);
    else if (how != Skip)
        saved = SavePage(path, &self->image, self->appendImage, problem);
    free(path);
    if (saved && how == LinkFail) {
        saved = FALSE;
        snprintf(problem, sizeof problem, "disk full");
    }
    if (!saved)
        return Fail(exception, name, problem);
    if (result) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocStringLen(name, SysStringLen(name));
        if (!V_BSTR(result)) {
            V_VT(result) = VT_EMPTY;
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

/* The one argument of a method or property put, as the type the member takes. */
static HRESULT Argument(DISPPARAMS* parameters, BOOL put, VARTYPE type, VARIANT* value,
                        UINT* argumentError)
{
    if (parameters->cArgs != 1 || !parameters->rgvarg)
        return DISP_E_BADPARAMCOUNT;
    if (put && (parameters->cNamedArgs != 1 || !parameters->rgdispidNamedArgs ||
                parameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
        return DISP_E_PARAMNOTFOUND;
    if (!put && parameters->cNamedArgs != 0)
        return DISP_E_NONAMEDARGS;
    if (FAILED(VariantChangeType(value, &parameters->rgvarg[0], 0, type))) {
        if (argumentError)
            *argumentError = 0;
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

static HRESULT Property(ImageControl* self, DISPID member, WORD flags, DISPPARAMS* parameters,
                        VARIANT* result, EXCEPINFO* exception, UINT* argumentError)
{
    VARTYPE type = member == DispAppendImage ? VT_BOOL : member == DispPicture ? VT_BSTR : VT_I2;
    VARIANT value;
    HRESULT status;

    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        VariantInit(&value);
        status = Argument(parameters, TRUE, type, &value, argumentError);
        if (SUCCEEDED(status)) {
            if (member == DispCompression)
                self->compression = V_I2(&value); /* kept; pages stay as coded */
            else if (member == DispScaleMethod)
                self->scaleMethod = V_I2(&value);
            else if (member == DispAppendImage)
                self->appendImage = V_BOOL(&value) != VARIANT_FALSE;
            else
                status = PutPicture(self, &value, exception);
        }
        VariantClear(&value);
        return status;
    }
    if (!(flags & DISPATCH_PROPERTYGET))
        return DISP_E_MEMBERNOTFOUND;
    if (parameters->cArgs != 0)
        return DISP_E_BADPARAMCOUNT;
    if (!result)
        return E_INVALIDARG;
    V_VT(result) = type;
    if (member == DispCompression)
        V_I2(result) = self->compression;
    else if (member == DispScaleMethod)
        V_I2(result) = self->scaleMethod;
    else if (member == DispAppendImage)
        V_BOOL(result) = self->appendImage ? VARIANT_TRUE : VARIANT_FALSE;
    else {
        V_BSTR(result) = SysAllocStringLen(self->picture, SysStringLen(self->picture));
        if (!V_BSTR(result)) {
            V_VT(result) = VT_EMPTY;
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE AutomationInvoke(IDispatch* This, DISPID member, REFIID iid,
                                                  LCID locale, WORD flags, DISPPARAMS* parameters,
                                                  VARIANT* result, EXCEPINFO* exception,
                                                  UINT* argumentError)
{
    ImageControl* self = CONTROL_OF(This, dispatch);
    HRESULT status;
    VARIANT name;
    (void)locale;

    if (!IsEqualIID(iid, &IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!parameters)
        return E_INVALIDARG;
    /* A host that skipped the container's duties gets nothing done. */
    if (!self->site || !self->initialised || !self->userMode) {
        LogLine("Invoke %ld refused", member);
        return E_UNEXPECTED;
    }
    LogLine("Invoke %ld", member);
    if (result)
        VariantInit(result);
    switch (member) {
    case DispCompression:
    case DispScaleMethod:
    case DispAppendImage:
    case DispPicture:
        return Property(self, member, flags, parameters, result, exception, argumentError);
    case DispRefresh:
        if (!(flags & DISPATCH_METHOD))
            return DISP_E_MEMBERNOTFOUND;
        return parameters->cArgs == 0 ? S_OK : DISP_E_BADPARAMCOUNT;
    case DispSaveAs:
        if (!(flags & DISPATCH_METHOD))
            return DISP_E_MEMBERNOTFOUND;
        VariantInit(&name);
        status = Argument(parameters, FALSE, VT_BSTR, &name, argumentError);
        if (SUCCEEDED(status))
            status = SaveAs(self, V_BSTR(&name), result, exception);
        VariantClear(&name);
        return status;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

const IDispatchVtbl AutomationVtbl = {AutomationQueryInterface, AutomationAddRef,
                                      AutomationRelease,        AutomationGetTypeInfoCount,
                                      AutomationGetTypeInfo,    AutomationGetIDsOfNames,
                                      AutomationInvoke};
