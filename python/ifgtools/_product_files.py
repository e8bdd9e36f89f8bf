"""How a campaign's products are opened, in this process and on every dask
worker: few at a time, without keeping decompressed chunks, one thread in
the netCDF library at a time, and without HDF5's diagnostics.

An open product costs a process about 3 MB of netCDF and HDF5 metadata, and
with the library's default chunk cache each of its variables keeps up to
16 MB of the chunks it decompressed for as long as the file stays open.  A
campaign reads each chunk once, in dask chunks of whole storage chunks, so
its products keep none; and a process holds at most OPEN_PRODUCTS of them
open, whatever the campaign's size, opening a product again (a few
milliseconds) when it is read after that many others.

The netCDF library turns HDF5's printing of its error stack off in the
thread that first opens a file, and probes for attributes that a product
need not have (the quantization settings of every variable): opened in
another thread, each probe printed a dozen lines on standard error.  Each
product is therefore opened with the printing off in the thread that opens
it; the library reports its faults through its return codes as before.

This module needs xarray and netCDF4; ifgtools.archive imports it only
when a campaign is opened.
"""

import ctypes

import netCDF4
from xarray.backends import BackendEntrypoint, CachingFileManager, NetCDF4DataStore
from xarray.backends.locks import HDF5_LOCK
from xarray.backends.lru_cache import LRUCache
from xarray.backends.store import StoreBackendEntrypoint
from xarray.core.utils import close_on_error

# Products that one process holds open at most.  Reads take one lock per
# process, so only one product is read at a time; the others wait for the
# chunks that dask reads next.
OPEN_PRODUCTS = 8

# Each variable's chunk cache: bytes, slots, preemption.  No chunk fits in
# it, so a chunk is decompressed straight into the array that reads it.
CHUNK_CACHE = (0, 1, 1.0)

_open_products = LRUCache(maxsize=OPEN_PRODUCTS, on_evict=lambda key, root: root.close())


def _error_printing_switch():
    """HDF5's H5Eset_auto2 as the netCDF library links it, or None."""
    try:
        # The extension's own handle finds the HDF5 library among its
        # dependencies, whatever that library's file is called.
        hdf5 = ctypes.CDLL(netCDF4._netCDF4.__file__)
        switch = hdf5.H5Eset_auto2
    except (AttributeError, OSError):
        return None
    switch.argtypes = [ctypes.c_int64, ctypes.c_void_p, ctypes.c_void_p]
    switch.restype = ctypes.c_int
    return switch


_set_error_printing = _error_printing_switch()
_DEFAULT_ERROR_STACK = 0


def quiet_hdf5():
    """Turns HDF5's printing of its error stack off in this thread, as the
    netCDF library does in the thread that first uses it."""
    if _set_error_printing is not None:
        _set_error_printing(_DEFAULT_ERROR_STACK, None, None)


def open_root(path, mode="r"):
    """A product opened for reading, its variables without chunk caches."""
    quiet_hdf5()
    root = netCDF4.Dataset(path, mode=mode)
    try:
        for variable in variables(root):
            variable.set_var_chunk_cache(*CHUNK_CACHE)
    except BaseException:
        root.close()
        raise
    return root


def variables(group):
    """Every variable of a group and of the groups within it."""
    yield from group.variables.values()
    for inner in group.groups.values():
        yield from variables(inner)


class ProductFile(CachingFileManager):
    """A product's file, held open in this process's cache of products.  It
    is opened and closed under the HDF5 lock that every read holds too (a
    plain lock: xarray's combined one may be left half taken by a
    non-blocking attempt).  A pickled ProductFile (in a dask task sent to a
    worker) opens the product in the worker's cache."""

    def __init__(self, opener, *args, **kwargs):
        kwargs.update(cache=_open_products, lock=HDF5_LOCK)
        super().__init__(opener, *args, **kwargs)


class ProductBackend(BackendEntrypoint):
    """xarray's netCDF4 reading of one group of a product, through a
    ProductFile."""

    open_dataset_parameters = ("filename_or_obj", "drop_variables", "mask_and_scale", "decode_times",
                               "concat_characters", "decode_coords", "use_cftime", "decode_timedelta",
                               "group")

    def open_dataset(self, filename_or_obj, *, group=None, **decoders):
        manager = ProductFile(open_root, filename_or_obj, mode="r")
        store = NetCDF4DataStore(manager, group=group, mode="r")  # reads take both library locks
        with close_on_error(store):
            return StoreBackendEntrypoint().open_dataset(store, **decoders)
