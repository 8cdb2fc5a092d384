/* Orbelle ImageMan OCX: what its source files share. */
#ifndef ORBELLE_IMOCX32_H
#define ORBELLE_IMOCX32_H

#define COBJMACROS
#define CONST_VTABLE
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <stddef.h>
#include <stdint.h>

/* {0EABA3C0-D884-101B-8CAE-00006E44AAB2} */
extern const CLSID OrbelleImageManClass;
#define ORBELLE_CLASS_TEXT "{0EABA3C0-D884-101B-8CAE-00006E44AAB2}"

/* The control's members as its clients know them. */
enum {
    DispRefresh = -550,
    DispCompression = 11,
    DispScaleMethod = 17,
    DispAppendImage = 18,
    DispPicture = 23,
    DispSaveAs = 63
};

/* A page as read from a TIFF file: its tags and its strips as they were coded. */
typedef struct OrbPage {
    uint32_t width, length, rowsPerStrip;
    uint16_t compression, photometric, fillOrder, resolutionUnit;
    int hasResolution; /* 1: XResolution, 2: YResolution */
    int hasT4Options, hasT6Options;
    uint32_t xResolution[2], yResolution[2];
    uint32_t t4Options, t6Options;
    uint32_t stripCount;
    uint32_t* stripSizes;
    unsigned char* data; /* the strips back to back */
    size_t dataSize;
} OrbPage;

/* Module state, in vendor_imocx32.c. */
extern HINSTANCE ModuleInstance;
extern const char* ModulePath; /* the OCX itself */
extern const char* IniPath;    /* IMOCX32.INI beside it */
extern LONG LiveObjects;

/* Appends one line to IMOCX32.LOG beside the OCX. */
void LogLine(const char* format, ...);

/* The control itself, in vendor_imocx32_control.c. */
typedef struct ImageControl {
    IDispatch dispatch; /* also its identity */
    IOleObject oleObject;
    IPersistStreamInit persist;
    IOleInPlaceObject inPlace;
    IOleControl control;
    LONG references;
    IOleClientSite* site;
    IOleInPlaceSite* inPlaceSite; /* while active in place */
    HWND window;
    RECT position;
    SIZEL extent;
    BOOL userMode, initialised, closed;
    short compression, scaleMethod;
    BOOL appendImage;
    BSTR picture;
    OrbPage image;
    BOOL hasImage;
} ImageControl;

#define CONTROL_OF(pointer, member)                                                                \
    ((ImageControl*)((char*)(pointer)-offsetof(ImageControl, member)))

HRESULT CreateImageControl(REFIID iid, void** object);
void ForgetImageWindowClass(void);
HRESULT QueryControl(ImageControl* self, REFIID iid, void** object);
ULONG AddRefControl(ImageControl* self);
ULONG ReleaseControl(ImageControl* self);

/* Each interface's IUnknown is the control's. */
#define FORWARD_UNKNOWN(Prefix, Interface, member)                                                 \
    static HRESULT STDMETHODCALLTYPE Prefix##QueryInterface(Interface* This, REFIID iid,           \
                                                            void** object)                         \
    {                                                                                              \
        return QueryControl(CONTROL_OF(This, member), iid, object);                                \
    }                                                                                              \
    static ULONG STDMETHODCALLTYPE Prefix##AddRef(Interface* This)                                 \
    {                                                                                              \
        return AddRefControl(CONTROL_OF(This, member));                                            \
    }                                                                                              \
    static ULONG STDMETHODCALLTYPE Prefix##Release(Interface* This)                                \
    {                                                                                              \
        return ReleaseControl(CONTROL_OF(This, member));                                           \
    }

/* Its automation members, in vendor_imocx32_automation.c. */
extern const IDispatchVtbl AutomationVtbl;

/* Its TIFF files, in vendor_imocx32_tiff.c. */
#define ORB_PROBLEM_SIZE 160

void FreePage(OrbPage* page);
/* Each returns TRUE, or FALSE with a short text of what is wrong in problem. */
BOOL ReadFirstPage(const char* path, OrbPage* page, char* problem);
BOOL SavePage(const char* path, const OrbPage* page, BOOL append, char* problem);

#endif
