/* Orbelle ImageMan OCX: the control object and the OLE interfaces a container drives. */
#include "vendor_imocx32.h"

#include <stdlib.h>
#include <string.h>

static const char ImageWindowClass[] = "OrbelleImageWindow";
static BOOL OwnImageWindowClass;

static HRESULT LastError(void)
{
    DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

/* The window's procedure is the system's, so a class left registered after an unload
   points at nothing of ours. */
static BOOL RegisterImageWindowClass(void)
{
    WNDCLASSEXA windowClass;
    if (OwnImageWindowClass)
        return TRUE;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = ModuleInstance;
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = ImageWindowClass;
    if (RegisterClassExA(&windowClass))
        OwnImageWindowClass = TRUE;
    return OwnImageWindowClass || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void ForgetImageWindowClass(void)
{
    if (OwnImageWindowClass && UnregisterClassA(ImageWindowClass, ModuleInstance))
        OwnImageWindowClass = FALSE;
}

static void Deactivate(ImageControl* self)
{
    /* A window its parent took along is gone already; nothing more to do then. */
    if (self->window && IsWindow(self->window))
        DestroyWindow(self->window);
    self->window = NULL;
    if (self->inPlaceSite) {
        IOleInPlaceSite_OnInPlaceDeactivate(self->inPlaceSite);
        IOleInPlaceSite_Release(self->inPlaceSite);
        self->inPlaceSite = NULL;
    }
}

static void Destroy(ImageControl* self)
{
    Deactivate(self);
    if (self->site)
        IOleClientSite_Release(self->site);
    FreePage(&self->image);
    SysFreeString(self->picture);
    free(self);
    InterlockedDecrement(&LiveObjects);
}

HRESULT QueryControl(ImageControl* self, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IDispatch))
        *object = &self->dispatch;
    else if (IsEqualIID(iid, &IID_IOleObject))
        *object = &self->oleObject;
    else if (IsEqualIID(iid, &IID_IPersistStreamInit))
        *object = &self->persist;
    else if (IsEqualIID(iid, &IID_IOleInPlaceObject) || IsEqualIID(iid, &IID_IOleWindow))
        *object = &self->inPlace;
    else if (IsEqualIID(iid, &IID_IOleControl))
        *object = &self->control;
    else {
        *object = NULL;
        return E_NOINTERFACE;
    }
    InterlockedIncrement(&self->references);
    return S_OK;
}

ULONG AddRefControl(ImageControl* self) { return (ULONG)InterlockedIncrement(&self->references); }

ULONG ReleaseControl(ImageControl* self)
{
    LONG left = InterlockedDecrement(&self->references);
    if (left == 0) {
        LogLine(self->closed ? "Final release" : "Final release without Close");
        /* A site that calls back while it is told of the deactivation must not end the
           control a second time. */
        self->references = 1;
        Destroy(self);
    }
    return (ULONG)left;
}

FORWARD_UNKNOWN(Ole, IOleObject, oleObject)
FORWARD_UNKNOWN(Persist, IPersistStreamInit, persist)
FORWARD_UNKNOWN(InPlace, IOleInPlaceObject, inPlace)
FORWARD_UNKNOWN(Control, IOleControl, control)

/* Ambient UserMode from the site; anything but a VT_BOOL answer means design mode. */
static void ReadUserMode(ImageControl* self)
{
    IDispatch* ambient = NULL;
    self->userMode = FALSE;
    if (self->site &&
        SUCCEEDED(IOleClientSite_QueryInterface(self->site, &IID_IDispatch, (void**)&ambient)) &&
        ambient) {
        DISPPARAMS none = {NULL, NULL, 0, 0};
        VARIANT value;
        VariantInit(&value);
        if (SUCCEEDED(IDispatch_Invoke(ambient, DISPID_AMBIENT_USERMODE, &IID_NULL,
                                       LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value,
                                       NULL, NULL)) &&
            V_VT(&value) == VT_BOOL)
            self->userMode = V_BOOL(&value) != VARIANT_FALSE;
        VariantClear(&value);
        IDispatch_Release(ambient);
    }
    LogLine("UserMode %d", self->userMode ? 1 : 0);
}

/* IOleObject */

static HRESULT STDMETHODCALLTYPE OleSetClientSite(IOleObject* This, IOleClientSite* site)
{
    ImageControl* self = CONTROL_OF(This, oleObject);
    if (site)
        IOleClientSite_AddRef(site);
    if (self->site)
        IOleClientSite_Release(self->site);
    self->site = site;
    LogLine(site ? "SetClientSite site" : "SetClientSite null");
    if (site)
        ReadUserMode(self);
    else
        self->userMode = FALSE;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE OleGetClientSite(IOleObject* This, IOleClientSite** site)
{
    ImageControl* self = CONTROL_OF(This, oleObject);
    if (!site)
        return E_POINTER;
    *site = self->site;
    if (self->site)
        IOleClientSite_AddRef(self->site);
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE OleSetHostNames(IOleObject* This, LPCOLESTR application,
                                                 LPCOLESTR document)
{
    (void)This;
    (void)application;
    (void)document;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE OleClose(IOleObject* This, DWORD saveOption)
{
    ImageControl* self = CONTROL_OF(This, oleObject);
    (void)saveOption; /* nothing of it is ever saved */
    Deactivate(self);
    self->closed = TRUE;
    LogLine("Close");
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE OleSetMoniker(IOleObject* This, DWORD which, IMoniker* moniker)
{
    (void)This;
    (void)which;
    (void)moniker;
    return E_NOTIMPL;
}

static HRESULT STDMETHODCALLTYPE OleGetMoniker(IOleObject* This, DWORD assign, DWORD which,
                                               IMoniker** moniker)
{
    (void)This;
    (void)assign;
    (void)which;
    if (moniker)
        *moniker = NULL;
    return E_NOTIMPL;
}

static HRESULT STDMETHODCALLTYPE OleInitFromData(IOleObject* This, IDataObject* data, BOOL creation,
                                                 DWORD reserved)
{
    (void)This;
    (void)data;
    (void)creation;
    (void)reserved;
    return E_NOTIMPL;
}

static HRESULT STDMETHODCALLTYPE OleGetClipboardData(IOleObject* This, DWORD reserved,
                                                     IDataObject** data)
{
    (void)This;
    (void)reserved;
    if (data)
        *data = NULL;
    return E_NOTIMPL;
}

/* In-place activation as a container expects it: the site agrees, gives the parent window
   and the place, and the control's window goes there. */
static HRESULT Activate(ImageControl* self, IOleClientSite* site)
{
    IOleInPlaceSite* inPlaceSite = NULL;
    IOleInPlaceFrame* frame = NULL;
    IOleInPlaceUIWindow* document = NULL;
    OLEINPLACEFRAMEINFO frameInfo;
    RECT position = {0, 0, 0, 0}, clip;
    HWND parent = NULL;
    HRESULT status;

    if (!site)
        return E_UNEXPECTED;
    status = IOleClientSite_QueryInterface(site, &IID_IOleInPlaceSite, (void**)&inPlaceSite);
    if (FAILED(status) || !inPlaceSite)
        return FAILED(status) ? status : E_NOINTERFACE;
    status = IOleInPlaceSite_CanInPlaceActivate(inPlaceSite);
    if (status != S_OK) {
        IOleInPlaceSite_Release(inPlaceSite);
        return FAILED(status) ? status : E_FAIL;
    }
    status = IOleInPlaceSite_OnInPlaceActivate(inPlaceSite);
    if (FAILED(status)) {
        IOleInPlaceSite_Release(inPlaceSite);
        return status;
    }
    status = IOleInPlaceSite_GetWindow(inPlaceSite, &parent);
    if (SUCCEEDED(status)) {
        memset(&frameInfo, 0, sizeof frameInfo);
        frameInfo.cb = sizeof frameInfo;
        status = IOleInPlaceSite_GetWindowContext(inPlaceSite, &frame, &document, &position, &clip,
                                                  &frameInfo);
        if (frame)
            IOleInPlaceFrame_Release(frame);
        if (document)
            IOleInPlaceUIWindow_Release(document);
    }
    if (SUCCEEDED(status) && !RegisterImageWindowClass())
        status = LastError();
    if (SUCCEEDED(status)) {
        self->window =
            CreateWindowExA(0, ImageWindowClass, "", WS_CHILD | WS_CLIPSIBLINGS, position.left,
                            position.top, position.right - position.left,
                            position.bottom - position.top, parent, NULL, ModuleInstance, NULL);
        if (!self->window)
            status = LastError();
    }
    if (FAILED(status)) {
        IOleInPlaceSite_OnInPlaceDeactivate(inPlaceSite);
        IOleInPlaceSite_Release(inPlaceSite);
        return status;
    }
    self->inPlaceSite = inPlaceSite;
    self->position = position;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE OleDoVerb(IOleObject* This, LONG verb, LPMSG message,
                                           IOleClientSite* activeSite, LONG index, HWND parent,
                                           LPCRECT place)
{
    ImageControl* self = CONTROL_OF(This, oleObject);
    HRESULT status = S_OK;
    (void)message;
    (void)index;
    (void)parent; /* the site says where the window goes */
    (void)place;
    if (verb != OLEIVERB_INPLACEACTIVATE && verb != OLEIVERB_SHOW)
        status = E_NOTIMPL;
    else if (!self->window)
        status = Activate(self, activeSite ? activeSite : self->site);
    if (FAILED(status))
        LogLine("DoVerb %ld refused", verb);
    else
        LogLine("DoVerb %ld rect=%ld,%ld,%ld,%ld", verb, self->position.left, self->position.top,
                self->position.right, self->position.bottom);
    return status;
}

static HRESULT STDMETHODCALLTYPE OleEnumVerbs(IOleObject* This, IEnumOLEVERB** verbs)
{
    (void)This;
    if (verbs)
        *verbs = NULL;
    return OLEOBJ_E_NOVERBS;
}

static HRESULT STDMETHODCALLTYPE OleUpdate(IOleObject* This)
{
    (void)This;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE OleIsUpToDate(IOleObject* This)
{
    (void)This;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE OleGetUserClassID(IOleObject* This, CLSID* clsid)
{
    (void)This;
    if (!clsid)
        return E_POINTER;
    *clsid = OrbelleImageManClass;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE OleGetUserType(IOleObject* This, DWORD form, LPOLESTR* type)
{
    (void)This;
    (void)form;
    if (type)
        *type = NULL;
    return OLE_S_USEREG;
}

static HRESULT STDMETHODCALLTYPE OleSetExtent(IOleObject* This, DWORD aspect, SIZEL* size)
{
    ImageControl* self = CONTROL_OF(This, oleObject);
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    self->extent = *size;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE OleGetExtent(IOleObject* This, DWORD aspect, SIZEL* size)
{
    ImageControl* self = CONTROL_OF(This, oleObject);
    if (!size)
        return E_POINTER;
    if (aspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    *size = self->extent;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE OleAdvise(IOleObject* This, IAdviseSink* sink, DWORD* cookie)
{
    (void)This;
    (void)sink;
    if (cookie)
        *cookie = 0;
    return OLE_E_ADVISENOTSUPPORTED;
}

static HRESULT STDMETHODCALLTYPE OleUnadvise(IOleObject* This, DWORD cookie)
{
    (void)This;
    (void)cookie;
    return OLE_E_ADVISENOTSUPPORTED;
}

static HRESULT STDMETHODCALLTYPE OleEnumAdvise(IOleObject* This, IEnumSTATDATA** advises)
{
    (void)This;
    if (advises)
        *advises = NULL;
    return OLE_E_ADVISENOTSUPPORTED;
}

static HRESULT STDMETHODCALLTYPE OleGetMiscStatus(IOleObject* This, DWORD aspect, DWORD* status)
{
    (void)This;
    (void)aspect;
    LogLine("GetMiscStatus");
    if (!status)
        return E_POINTER;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
              OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE OleSetColorScheme(IOleObject* This, LOGPALETTE* palette)
{
    (void)This;
    (void)palette;
    return E_NOTIMPL;
}

static const IOleObjectVtbl OleObjectVtbl = {
    OleQueryInterface,   OleAddRef,      OleRelease,       OleSetClientSite, OleGetClientSite,
    OleSetHostNames,     OleClose,       OleSetMoniker,    OleGetMoniker,    OleInitFromData,
    OleGetClipboardData, OleDoVerb,      OleEnumVerbs,     OleUpdate,        OleIsUpToDate,
    OleGetUserClassID,   OleGetUserType, OleSetExtent,     OleGetExtent,     OleAdvise,
    OleUnadvise,         OleEnumAdvise,  OleGetMiscStatus, OleSetColorScheme};

/* IPersistStreamInit: nothing of the control is kept in a stream, but it needs its site
   before it is initialised. */

static HRESULT Initialise(ImageControl* self, const char* how)
{
    if (!self->site || self->initialised) {
        LogLine("%s refused", how);
        return E_UNEXPECTED;
    }
    self->initialised = TRUE;
    LogLine("%s", how);
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE PersistGetClassID(IPersistStreamInit* This, CLSID* clsid)
{
    (void)This;
    if (!clsid)
        return E_POINTER;
    *clsid = OrbelleImageManClass;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE PersistIsDirty(IPersistStreamInit* This)
{
    (void)This;
    return S_FALSE;
}

static HRESULT STDMETHODCALLTYPE PersistLoad(IPersistStreamInit* This, LPSTREAM stream)
{
    if (!stream)
        return E_POINTER;
    return Initialise(CONTROL_OF(This, persist), "Load");
}

static HRESULT STDMETHODCALLTYPE PersistSave(IPersistStreamInit* This, LPSTREAM stream,
                                             BOOL clearDirty)
{
    (void)This;
    (void)clearDirty;
    return stream ? S_OK : E_POINTER;
}

static HRESULT STDMETHODCALLTYPE PersistGetSizeMax(IPersistStreamInit* This, ULARGE_INTEGER* size)
{
    (void)This;
    if (!size)
        return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE PersistInitNew(IPersistStreamInit* This)
{
    return Initialise(CONTROL_OF(This, persist), "InitNew");
}

static const IPersistStreamInitVtbl PersistVtbl = {
    PersistQueryInterface, PersistAddRef, PersistRelease,    PersistGetClassID, PersistIsDirty,
    PersistLoad,           PersistSave,   PersistGetSizeMax, PersistInitNew};

/* IOleInPlaceObject */

static HRESULT STDMETHODCALLTYPE InPlaceGetWindow(IOleInPlaceObject* This, HWND* window)
{
    ImageControl* self = CONTROL_OF(This, inPlace);
    if (!window)
        return E_POINTER;
    *window = self->window;
    return self->window ? S_OK : E_FAIL;
}

static HRESULT STDMETHODCALLTYPE InPlaceContextSensitiveHelp(IOleInPlaceObject* This, BOOL enter)
{
    (void)This;
    (void)enter;
    return E_NOTIMPL;
}

static HRESULT STDMETHODCALLTYPE InPlaceInPlaceDeactivate(IOleInPlaceObject* This)
{
    LogLine("InPlaceDeactivate");
    Deactivate(CONTROL_OF(This, inPlace));
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE InPlaceUIDeactivate(IOleInPlaceObject* This)
{
    (void)This;
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE InPlaceSetObjectRects(IOleInPlaceObject* This, LPCRECT position,
                                                       LPCRECT clip)
{
    ImageControl* self = CONTROL_OF(This, inPlace);
    (void)clip;
    if (!position)
        return E_INVALIDARG;
    self->position = *position;
    if (self->window &&
        !SetWindowPos(self->window, NULL, position->left, position->top,
                      position->right - position->left, position->bottom - position->top,
                      SWP_NOZORDER | SWP_NOACTIVATE))
        return LastError();
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE InPlaceReactivateAndUndo(IOleInPlaceObject* This)
{
    (void)This;
    return INPLACE_E_NOTUNDOABLE;
}

static const IOleInPlaceObjectVtbl InPlaceVtbl = {InPlaceQueryInterface,
                                                  InPlaceAddRef,
                                                  InPlaceRelease,
                                                  InPlaceGetWindow,
                                                  InPlaceContextSensitiveHelp,
                                                  InPlaceInPlaceDeactivate,
                                                  InPlaceUIDeactivate,
                                                  InPlaceSetObjectRects,
                                                  InPlaceReactivateAndUndo};

/* IOleControl */

static HRESULT STDMETHODCALLTYPE ControlGetControlInfo(IOleControl* This, CONTROLINFO* info)
{
    (void)This;
    (void)info;
    return E_NOTIMPL;
}

static HRESULT STDMETHODCALLTYPE ControlOnMnemonic(IOleControl* This, MSG* message)
{
    (void)This;
    (void)message;
    return E_NOTIMPL;
}

static HRESULT STDMETHODCALLTYPE ControlOnAmbientPropertyChange(IOleControl* This, DISPID id)
{
    ImageControl* self = CONTROL_OF(This, control);
    if ((id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN) && self->site)
        ReadUserMode(self);
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE ControlFreezeEvents(IOleControl* This, BOOL freeze)
{
    (void)This;
    (void)freeze;
    return S_OK;
}

static const IOleControlVtbl ControlVtbl = {ControlQueryInterface, ControlAddRef,
                                            ControlRelease,        ControlGetControlInfo,
                                            ControlOnMnemonic,     ControlOnAmbientPropertyChange,
                                            ControlFreezeEvents};

HRESULT CreateImageControl(REFIID iid, void** object)
{
    ImageControl* self = calloc(1, sizeof *self);
    HRESULT status;
    if (!self)
        return E_OUTOFMEMORY;
    self->dispatch.lpVtbl = &AutomationVtbl;
    self->oleObject.lpVtbl = &OleObjectVtbl;
    self->persist.lpVtbl = &PersistVtbl;
    self->inPlace.lpVtbl = &InPlaceVtbl;
    self->control.lpVtbl = &ControlVtbl;
    self->references = 1;
    self->extent.cx = 21590; /* a letter page, in 0.01 mm */
    self->extent.cy = 27940;
    InterlockedIncrement(&LiveObjects);
    status = QueryControl(self, iid, object);
    if (FAILED(status)) {
        Destroy(self);
        return status;
    }
    InterlockedDecrement(&self->references);
    return S_OK;
}
