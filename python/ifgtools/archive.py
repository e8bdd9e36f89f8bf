"""Archive products as xarray Datasets: one group of one product, or one
group of a whole campaign of products, opened lazily on dask.

A telemetry product (tlm2nc) holds the groups "raw", "interferogram",
"carriage" and "housekeeping"; a detection product (det2nc) keeps its
variables in the root group (group None).  Each group grows along one or
more unlimited dimensions (the interferogram group along sample, and along
notice for its notices); a detection product's samples and spectra are as
long as its longest block; every other dimension has the same length in
every product.

These functions need xarray and netCDF4 (Debian: python3-xarray,
python3-netcdf4), and open_campaign dask too (python3-dask); the rest of
ifgtools does not.
"""

import functools
import glob
import importlib
import math
import os

__all__ = ["open_product", "open_campaign"]

# Dask chunks of a campaign are about this size: large enough that the
# scheduler's cost per task is small beside the reading, small enough that a
# worker holds a few of them at a time.
_CHUNK_BYTES = 32 << 20

# Module -> the Debian package that brings it.
_PACKAGES = {"xarray": "python3-xarray", "netCDF4": "python3-netcdf4", "dask": "python3-dask"}


def _modules(caller, *names):
    """The named modules, or ImportError naming the packages missing."""
    found, missing = [], []
    for name in names:
        try:
            found.append(importlib.import_module(name))
        except ImportError:
            missing.append(name.split(".")[0])
    if missing:
        raise ImportError(f"ifgtools.{caller} needs {', '.join(missing)}: "
                          f"apt-get install {' '.join(_PACKAGES[m] for m in missing)}")
    return found


def open_product(path, group=None):
    """One group of an archive product as an xarray Dataset.

    The variables are read when used.  CF decoding is on: with a date
    (tlm2nc -d) the time coordinate holds datetime64 values, NaT where a
    subframe's time of day is not valid BCD; without one, time_of_day holds
    seconds, NaN where not valid.  The Dataset's attributes are the
    product's (source, source_sha256, end, partial_bytes, history, ...) and
    then the group's own.  A group the product lacks raises OSError.
    """
    xr, netCDF4 = _modules("open_product", "xarray", "netCDF4")
    path = os.fspath(path)
    ds = xr.open_dataset(path, group=group, engine="netcdf4")
    if group is not None:
        with netCDF4.Dataset(path) as root:
            ds.attrs = {**{k: root.getncattr(k) for k in root.ncattrs()}, **ds.attrs}
    return ds


def open_campaign(paths, group=None):
    """One group of many products as one lazy Dataset on dask.

    paths is a sequence of products, or a str glob pattern (its matches
    sorted).  Each unlimited dimension of the group runs through all the
    products in the order given; the variables along it are concatenated,
    never loaded, in dask chunks of whole storage chunks (up to about 32 MB),
    none across two products.  A coordinate names each element's product:
    "file" along the group's first dimension (sample, line or record),
    "<dim>_file" along the others (notice_file, partial_byte_file), so that
    (file, record) tells every sample apart although record numbers start
    again in every product.  An unlimited dimension that no variable leads
    (a detection product's sample and spectral_point) takes the longest
    product's length, the others' values padded with NaN; other dimensions
    (channels, rows, columns) must match in every product.

    Attributes that all the products share are kept; those that differ
    (source, history, ...) are dropped.

    With a dask.distributed Client active, the products are opened on its
    workers, which read them later: this process holds none of them open.
    A process that reads the products (this one without a cluster, or a
    worker) holds a few of them open at a time and keeps none of their
    decompressed chunks, so that its memory stays the same however many
    products the campaign has.
    """
    xr, _, dask_array = _modules("open_campaign", "xarray", "netCDF4", "dask.array")
    from . import _product_files as files
    if isinstance(paths, str):
        paths = sorted(glob.glob(paths))
    paths = [os.fspath(p) for p in paths]
    if not paths:
        raise ValueError("ifgtools: open_campaign needs at least one product")
    growing, inner, chunks = _dimensions(files, paths[0], group)
    # The names as given, by the absolute path that xarray records.
    names = {os.path.abspath(os.path.expanduser(p)): p for p in paths}
    # Positions along the inner dimensions let them be padded to the longest.
    join = "outer" if inner else "exact"
    parts = []
    for i, dim in enumerate(growing):
        tag = functools.partial(_along, dim=dim, others=set(growing) - {dim}, inner=inner,
                                coordinate="file" if i == 0 else f"{dim}_file", names=names,
                                full=dask_array.full)
        parts.append(xr.open_mfdataset(
            paths, group=group, engine=files.ProductBackend, combine="nested", concat_dim=dim,
            chunks=chunks, data_vars="minimal", coords="minimal",
            compat="override", join=join, combine_attrs="drop_conflicts", preprocess=tag,
            parallel=_on_cluster(), inline_array=True))
    campaign = xr.merge(parts, compat="override", join=join, combine_attrs="drop_conflicts")
    return campaign.drop_vars(inner)


def _on_cluster():
    """Whether dask computes on a distributed cluster here."""
    try:
        from distributed import default_client
        default_client()
    except (ImportError, ValueError):
        return False
    return True


def _dimensions(files, path, group):
    """From one product: the group's growing dimensions (its first
    dimension, then the other unlimited ones that lead a variable), its
    inner unlimited dimensions, and the dask chunks of each dimension: along
    a growing one whole storage chunks, as many as keep each dask chunk of
    every variable within _CHUNK_BYTES; whole along the others."""
    with files.HDF5_LOCK, files.open_root(path) as root:
        g = root[group] if group is not None else root
        dims = list(g.dimensions.values())
        if not dims:
            raise ValueError(f"ifgtools: {path}: group {group!r} has no dimensions")
        leading = {v.dimensions[0] for v in g.variables.values() if v.dimensions}
        growing = [dims[0].name] + [d.name for d in dims[1:] if d.isunlimited() and d.name in leading]
        inner = [d.name for d in dims if d.isunlimited() and d.name not in growing]
        chunks = {d.name: -1 for d in dims}
        for v in g.variables.values():
            storage = v.chunking()
            if v.dimensions and v.dimensions[0] in growing and isinstance(storage, list):
                row_bytes = getattr(v.dtype, "itemsize", 8) * math.prod(v.shape[1:])
                rows = max(1, _CHUNK_BYTES // max(1, row_bytes * storage[0])) * storage[0]
                dim = v.dimensions[0]
                chunks[dim] = rows if chunks[dim] == -1 else min(chunks[dim], rows)
        return growing, inner, chunks


def _along(ds, dim, others, inner, coordinate, names, full):
    """One product's variables along dim (and the fixed ones), with a lazy
    coordinate naming the product for each element, and positions along the
    inner dimensions."""
    ds = ds.drop_vars([name for name, v in ds.variables.items() if others.intersection(v.dims)])
    ds = ds.assign_coords({d: range(ds.sizes[d]) for d in inner})
    source = ds.encoding["source"]
    chunks = ds.chunks.get(dim, (ds.sizes[dim],))
    name = full(ds.sizes[dim], names.get(source, source), dtype=object, chunks=chunks)
    return ds.assign_coords({coordinate: (dim, name)})
