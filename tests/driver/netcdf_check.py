"""Reads a run's NetCDF file with xarray (CF decoding on) and its result,
obstacle and diffusion-coefficient files byte by byte with numpy, written
here from the file layouts and independent of MURAL's readers.

  netcdf_check.py compare RUN.ERG RUN.IGB RUN.DIF RUN.nc
      every array of the NetCDF file equals the run's values bit for bit
  netcdf_check.py change RUN.ERG RUN.nc STEM
      writes STEM.ERG and STEM.nc with u times 1.5 south of the middle row,
      the one by replacing the bytes, the other through xarray

Only the layout of the example is read: a QEM file of format version 2.1.
"""
import sys

import numpy as np
import xarray as xr

F4 = np.dtype("<f4")
I4 = np.dtype("<i4")
I2 = np.dtype("<i2")
NAME = 128  # name fields of format 2.1


class Bytes:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        self.at = 0

    def take(self, dtype, count=1):
        values = np.frombuffer(self.data, dtype, count, self.at)
        self.at += dtype.itemsize * count
        return values

    def text(self, n):
        self.at += n
        return self.data[self.at - n:self.at]


def read_result(path):
    b = Bytes(path)
    r = {"version": b.take(F4)[0], "program": b.text(32)}
    assert abs(r["version"] - 2.1) < 1e-3 and r["program"].startswith(b"QEM"), "not a QEM file of format 2.1"
    r["title"] = b.text(80)
    b.text(5 * NAME)
    nx, ny, nz = (int(v) for v in b.take(I4, 3))
    r.update(nx=nx, ny=ny, nz=nz)
    r["xmin"], r["ymin"], r["dx"], r["dy"] = b.take(F4, 4)
    r["dzk"] = b.take(F4, nz)
    names = ["WNord", "DD", "FF", "ZA", "WEXP", "D0", "Z0"]
    r.update(zip(names, b.take(F4, 7)))
    r["U0"], r["V0"] = b.take(F4, nz), b.take(F4, nz)
    r["ALPHA"], r["TOPZU"] = b.take(F4)[0], b.take(I4)[0]
    r["fields_at"] = b.at
    r["u"] = b.take(F4, (nx + 1) * ny * nz).reshape(nz, ny, nx + 1)
    r["v"] = b.take(F4, nx * (ny + 1) * nz).reshape(nz, ny + 1, nx)
    r["w"] = b.take(F4, nx * ny * (nz + 1)).reshape(nz + 1, ny, nx)
    return r


def read_obstacles(path):
    b = Bytes(path)
    b.take(F4)
    b.text(32 + 80 + 5 * NAME)
    nx, ny, nz = b.take(I4, 3)
    b.take(F4, 4 + int(nz))
    counts = [int(v) for v in b.take(I4, 3)]
    records = b.take(I2, 7 * sum(counts)).reshape(-1, 7)
    return counts, records


def read_coefficients(path, nx, ny, nz):
    b = Bytes(path)
    b.text(32)
    b.take(I4, 3)
    fakh, fakv = b.take(F4, 2)
    shapes = [(nz, ny, nx + 1), (nz, ny + 1, nx), (nz + 1, ny, nx)]
    fields = []
    for n, shape in enumerate(shapes):
        count = int(np.prod(shape))
        if fakh == 0:
            fields.append(b.take(F4, count).reshape(shape))
        else:
            factor = np.float32(fakv if n == 2 else fakh)
            fields.append((b.take(I2, count).astype(np.float32) / factor).reshape(shape))
    return fields


def same_bits(name, got, expected):
    got = np.ascontiguousarray(got, dtype=np.float32)
    expected = np.ascontiguousarray(expected, dtype=np.float32)
    if got.shape != expected.shape or not np.array_equal(got.view(np.uint32), expected.view(np.uint32)):
        raise SystemExit(f"{name}: NetCDF values differ from the run's")


def faces(origin, widths):
    """Face positions as the model adds its cell widths, in single precision."""
    out = [np.float32(origin)]
    for w in widths:
        out.append(np.float32(out[-1] + np.float32(w)))
    return np.array(out, dtype=np.float32)


def compare(erg, igb, dif, nc):
    r = read_result(erg)
    counts, records = read_obstacles(igb)
    ds = xr.open_dataset(nc, decode_cf=True, mask_and_scale=True)
    nx, ny, nz = r["nx"], r["ny"], r["nz"]
    for name in ("u", "v", "w"):
        same_bits(name, ds[name].values, r[name])
    for name, field in zip(("KX", "KY", "KZ"), read_coefficients(dif, nx, ny, nz)):
        same_bits(name, ds[name].values, field)
    xu, yv = faces(r["xmin"], [r["dx"]] * nx), faces(r["ymin"], [r["dy"]] * ny)
    zw = faces(0.0, r["dzk"])
    same_bits("xu", ds.xu.values, xu)
    same_bits("yv", ds.yv.values, yv)
    same_bits("zw", ds.zw.values, zw)
    same_bits("x", ds.x.values, xu[:-1] + np.float32(0.5) * r["dx"])
    same_bits("z", ds.z.values, zw[:-1] + np.float32(0.5) * r["dzk"])
    same_bits("dz", ds.dz.values, r["dzk"])
    scalars = {"grid_north_angle": "WNord", "inflow_direction": "DD", "inflow_speed": "FF",
               "inflow_reference_height": "ZA", "inflow_profile_exponent": "WEXP",
               "displacement_height": "D0", "roughness_length": "Z0", "boundary_alpha_ratio": "ALPHA"}
    for name, key in scalars.items():
        same_bits(name, ds[name].values, r[key])
    same_bits("u0", ds.u0.values, r["U0"])
    same_bits("v0", ds.v0.values, r["V0"])
    if int(ds.top_closed.values) != int(r["TOPZU"] != 0):
        raise SystemExit("top_closed differs")
    # The obstacles as flags: porous, then orography, then buildings over them.
    flags = np.zeros((nz, ny, nx), dtype=np.int8)
    groups = np.repeat([1, 2, 3], counts)
    for flag in (3, 2, 1):
        for ia, ie, ja, je, ka, ke, _ in records[groups == flag]:
            flags[ka - 1:min(ke, nz), ja - 1:je, ia - 1:ie] = flag
    if not np.array_equal(ds.obstacles.values, flags):
        raise SystemExit("obstacles: flags differ from the obstacle file's boxes")
    if ds.obstacles.attrs["flag_meanings"] != "air building orography porous":
        raise SystemExit("obstacles: flag meanings")
    if not np.array_equal(ds.obstacle_box.values, records[:, :6]) or not np.array_equal(
            ds.obstacle_type.values, records[:, 6]) or not np.array_equal(ds.obstacle_class.values, groups):
        raise SystemExit("obstacle list differs")
    title = r["title"][:76].decode("cp850").rstrip()
    checks = {
        "title": ds.attrs["title"] == title,
        "Conventions": ds.attrs["Conventions"] == "CF-1.10 SGRID-0.3",
        "standard names": [ds[n].attrs["standard_name"] for n in ("u", "v", "w")] ==
                          ["x_wind", "y_wind", "upward_air_velocity"],
        "units": ds.u.attrs["units"] == "m s-1" and ds.KZ.attrs["units"] == "m2 s-1",
        "vertical": ds.z.attrs["positive"] == "up" and ds.zw.attrs["axis"] == "Z",
        "bounds": np.array_equal(ds.x_bnds.values[:, 1], ds.xu.values[1:]),
        "topology": ds.grid.attrs["cf_role"] == "grid_topology",
    }
    failed = [name for name, ok in checks.items() if not ok]
    if failed:
        raise SystemExit("attributes: " + ", ".join(failed))
    print("netcdf_check: the NetCDF file holds the run bit for bit")


def change(erg, nc, stem):
    r = read_result(erg)
    factor = np.float32(1.5)
    south = r["ny"] // 2
    u = r["u"].copy()
    u[:, :south, :] *= factor
    data = bytearray(open(erg, "rb").read())
    at = r["fields_at"]
    data[at:at + u.nbytes] = u.astype("<f4").tobytes()
    with open(stem + ".ERG", "wb") as f:
        f.write(bytes(data))
    ds = xr.open_dataset(nc).load()
    ds.close()
    ds["u"].values[:, :south, :] *= factor
    ds.to_netcdf(stem + ".nc")
    print("netcdf_check: changed run written both ways")


if __name__ == "__main__":
    mode, args = sys.argv[1], sys.argv[2:]
    {"compare": compare, "change": change}[mode](*args)
