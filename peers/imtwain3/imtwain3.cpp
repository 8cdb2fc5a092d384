// The scanner companion of the imaging control: it only has to be installed.
#include <windows.h>

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return S_OK; }
extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return S_OK; }
