"""Pixel signatures of bilevel TIFF pages, decoded by libtiff (a reader no one here
wrote): the same picture gives the same signature whatever its compression, fill order
or photometric interpretation."""
import ctypes
import ctypes.util
import hashlib

_lib = ctypes.CDLL(ctypes.util.find_library("tiff") or "libtiff.so.6")
_lib.TIFFOpen.restype = ctypes.c_void_p
_lib.TIFFOpen.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
_lib.TIFFClose.argtypes = [ctypes.c_void_p]
_lib.TIFFReadDirectory.argtypes = [ctypes.c_void_p]
_lib.TIFFGetField.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.c_void_p]
_lib.TIFFScanlineSize.restype = ctypes.c_long
_lib.TIFFScanlineSize.argtypes = [ctypes.c_void_p]
_lib.TIFFReadScanline.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_uint32,
                                  ctypes.c_uint16]
_lib.TIFFSetWarningHandler.argtypes = [ctypes.c_void_p]
_lib.TIFFSetErrorHandler.argtypes = [ctypes.c_void_p]
_lib.TIFFSetWarningHandler(None)
_lib.TIFFSetErrorHandler(None)

_WIDTH, _LENGTH, _BITS, _PHOTOMETRIC = 256, 257, 258, 262
_INVERT = bytes(255 - b for b in range(256))


def _field(tiff, tag, kind):
    value = kind(0)
    _lib.TIFFGetField(tiff, tag, ctypes.byref(value))
    return value.value


def _page(tiff):
    width = _field(tiff, _WIDTH, ctypes.c_uint32)
    length = _field(tiff, _LENGTH, ctypes.c_uint32)
    if _field(tiff, _BITS, ctypes.c_uint16) not in (0, 1):
        return None
    black_is_one = _field(tiff, _PHOTOMETRIC, ctypes.c_uint16) == 0
    size = _lib.TIFFScanlineSize(tiff)
    row = ctypes.create_string_buffer(size)
    tail_mask = (0xFF << (8 - width % 8)) & 0xFF if width % 8 else 0xFF
    digest = hashlib.sha256(b"%d x %d:" % (width, length))
    for y in range(length):
        if _lib.TIFFReadScanline(tiff, row, y, 0) < 0:
            return None
        data = bytearray(row.raw if black_is_one else row.raw.translate(_INVERT))
        data[-1] &= tail_mask
        digest.update(data)
    return "pixels:" + digest.hexdigest()


def signatures(path):
    """One signature per page, in order; [] when the file is not a TIFF libtiff reads
    whole (a broken page ends the list)."""
    tiff = _lib.TIFFOpen(str(path).encode(), b"r")
    if not tiff:
        return []
    pages = []
    try:
        while True:
            page = _page(tiff)
            if page is None:
                break
            pages.append(page)
            if not _lib.TIFFReadDirectory(tiff):
                break
    finally:
        _lib.TIFFClose(tiff)
    return pages
