#!/usr/bin/env python3
"""Whole-frame time of the demo against VTK's GPU ray caster on the same volume and view.

    vtk_compare.py [--quick] [--frames N] [--repeat N] [--png-dir DIR] [--build DIR]
        the table: for each configuration, the demo (build/demo_frame_time) and then VTK, each
        in its own process, and one line with both medians and their ratio
    vtk_compare.py --vtk-only W H RATE [--frames N] [--png FILE] [--geometry FILE]
        one VTK measurement in this process (what the table runs for its VTK column)

Run from the repository root on a display (xvfb-run) with catalogue entry 0 generated
(build/generate_datasets --index 0 --if-missing); scripts/bench-vs-vtk.sh does all of that.

What VTK is given, so that both draw the same thing:
- Data: catalogue file 0, resources/stagbeetle277x277x164.dat (three little-endian uint16 sizes,
  then 12-bit samples, x fastest), reduced exactly as the demo reduces it before upload: the
  7-bit density (sample >> 5) & 0xFF, as unsigned char. VTK computes its own gradients from it.
- Box: the demo samples its texture at local = 2 * texcoord - 1, a -1..1 cube in the volume's
  own frame whatever the voxel counts, so the image data gets spacing 2/N per axis with voxel
  centres at -1 + (i + 0.5) * 2/N (texel centres), and the vtkVolume gets the demo's world
  matrix as its user matrix: scale(s.x, s.z, s.y), then 180 degrees about y, then 90 degrees
  about x, each on the right (FTGameManager::init); with s = 1 it takes local (x, y, z) to world
  (-x, -z, -y).
- Camera: eye (0, 0, 3) with the demo camera's start-up heading (3.14 rad, not pi, so the view
  direction is (sin 3.14, 0, cos 3.14)), its up vector right x direction, 45 degrees vertical
  field of view, near 0.01 and far 50.
- Spacing: the slicer steps 1/rate in its slice frame, whose unit is the radius
  r = |half-extents| of the volume in world units, so samples lie r/rate apart in world units:
  sqrt(3)/rate for dataset 0. VTK's SampleDistance is that (the user matrix has no scale, so
  world and data distances agree), with AutoAdjustSampleDistances off and ImageSampleDistance 1.
  The scalar opacity unit distance is the same distance, so each opacity is per sample, as the
  demo's table is per slice (its reference rate equals its rate).
- Look: shading on (ambient 0.35, diffuse 0.65, specular 0.25, power 16, the demo's constants),
  linear interpolation, and the demo's CT preset (tools/make_volume_textures.cpp) as colour and
  opacity functions of density/127; one white light from the demo light's start position
  (2, 2, 0) towards the volume.
The demo's geometry is read back from its own GEOMETRY lines and checked against the above
before VTK runs, so a change of the demo's placement stops the comparison instead of skewing it.
"""

import argparse
import math
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

DATASET = "resources/stagbeetle277x277x164.dat"
CONFIGURATIONS = [(256, 192, 50), (480, 360, 250), (1024, 768, 500)]
QUICK_CONFIGURATIONS = CONFIGURATIONS[:2]
# Frames timed per configuration (after warm-up); the largest one costs seconds per frame.
DEFAULT_FRAMES = 5
LARGE_FRAMES = 3
WARM_UP_FRAMES = 2
PNG_SIZE = (480, 360)

# The demo's start-up camera and placement (Camera.h, FTGameManager::init).
EYE = (0.0, 0.0, 3.0)
HEADING = 3.14  # radians, _horizontalAngle
QUARTER_TURN = 1.57  # the camera's right vector trails the heading by this
FIELD_OF_VIEW = 45.0
NEAR, FAR = 0.01, 50.0
LIGHT_POSITION = (2.0, 2.0, 0.0)

# Shading constants of resources/shaders/VolumeRendering.fs.
AMBIENT, DIFFUSE, SPECULAR, SPECULAR_POWER = 0.35, 0.65, 0.25, 16.0


# --- the demo's geometry, derived here and compared with what the demo reports -------------

def matmul(a, b):
    return [[sum(a[i][k] * b[k][j] for k in range(4)) for j in range(4)] for i in range(4)]


def rotation(axis, degrees):
    """Right-handed rotation about a unit axis (row-major 4x4)."""
    x, y, z = axis
    a = math.radians(degrees)
    c, s = math.cos(a), math.sin(a)
    t = 1.0 - c
    return [[t * x * x + c, t * x * y - s * z, t * x * z + s * y, 0.0],
            [t * x * y + s * z, t * y * y + c, t * y * z - s * x, 0.0],
            [t * x * z - s * y, t * y * z + s * x, t * z * z + c, 0.0],
            [0.0, 0.0, 0.0, 1.0]]


def expected_world_matrix(scale=(1.0, 1.0, 1.0)):
    sx, sy, sz = scale
    m = [[sx, 0, 0, 0], [0, sz, 0, 0], [0, 0, sy, 0], [0, 0, 0, 1]]  # y and z exchanged
    m = matmul(m, rotation((0.0, 1.0, 0.0), 180.0))
    return matmul(m, rotation((1.0, 0.0, 0.0), 90.0))


def expected_camera():
    h = HEADING
    direction = (math.sin(h), 0.0, math.cos(h))
    right = (math.sin(h - QUARTER_TURN), 0.0, math.cos(h - QUARTER_TURN))
    up = (right[1] * direction[2] - right[2] * direction[1],
          right[2] * direction[0] - right[0] * direction[2],
          right[0] * direction[1] - right[1] * direction[0])
    return EYE, direction, up


def parse_geometry(lines):
    """The demo's GEOMETRY lines as a dict of float lists."""
    geometry = {}
    for line in lines:
        words = line.split()
        if len(words) > 2 and words[0] == "GEOMETRY":
            geometry[words[1]] = [float(w) for w in words[2:]]
    return geometry


def check_geometry(geometry):
    """Stops with a message when the demo no longer shows what this comparison assumes."""
    problems = []
    world = geometry["volume_world"]  # column-major
    expected = expected_world_matrix()
    for column in range(4):
        for row in range(4):
            if abs(world[4 * column + row] - expected[row][column]) > 1e-5:
                problems.append("volume world matrix (%d, %d) is %g, expected %g"
                                % (row, column, world[4 * column + row], expected[row][column]))
    eye, direction, up = expected_camera()
    cam = geometry["camera"]
    for name, got, want in (("eye", cam[0:3], eye), ("direction", cam[3:6], direction), ("up", cam[6:9], up)):
        if max(abs(g - w) for g, w in zip(got, want)) > 1e-4:
            problems.append("camera %s is %s, expected %s" % (name, got, want))
    if max(abs(cam[9] - FIELD_OF_VIEW), abs(cam[10] - NEAR), abs(cam[11] - FAR)) > 1e-5:
        problems.append("camera field of view, near, far are %s" % cam[9:12])
    if problems:
        sys.exit("the demo's view changed; update bench/vtk_compare.py:\n  " + "\n  ".join(problems))


# --- the data --------------------------------------------------------------------------------

def read_density(path):
    """Catalogue file 0 as the demo's 7-bit density, shape (z, y, x), dtype uint8."""
    import numpy as np
    with open(path, "rb") as f:
        nx, ny, nz = (int(v) for v in np.frombuffer(f.read(6), dtype="<u2"))
        samples = np.frombuffer(f.read(2 * nx * ny * nz), dtype="<u2")
    if samples.size != nx * ny * nz:
        sys.exit("%s: %d samples, header says %d x %d x %d" % (path, samples.size, nx, ny, nz))
    # 12 significant bits down to 7, keeping the low byte as the demo does.
    density = ((samples >> 5) & 0xFF).astype(np.uint8)
    return density.reshape(nz, ny, nx)


def ct_preset(d):
    """Colour and opacity per sample at density d in 0..1 (tools/make_volume_textures.cpp)."""
    def smoothstep(e0, e1, x):
        t = min(max((x - e0) / (e1 - e0), 0.0), 1.0)
        return t * t * (3.0 - 2.0 * t)

    def mix(a, b, t):
        return a + (b - a) * t

    tissue = smoothstep(0.10, 0.22, d)
    bone = smoothstep(0.42, 0.60, d)
    r = mix(0.90, 1.00, bone)
    g = mix(mix(0.42, 0.60, tissue), 0.95, bone)
    b = mix(mix(0.30, 0.42, tissue), 0.86, bone)
    a = tissue * mix(0.004, 0.45, bone)
    a = min(1.0, a + 0.2 * smoothstep(0.8, 1.0, d))
    return r, g, b, a


# --- one VTK measurement ---------------------------------------------------------------------

def processor_seconds():
    """Processor time of this process, the software renderer's threads included."""
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


def run_vtk(width, height, rate, frames, png, geometry):
    import numpy as np
    import vtk
    from vtkmodules.util import numpy_support

    density = read_density(DATASET)
    nz, ny, nx = density.shape
    image = vtk.vtkImageData()
    image.SetDimensions(nx, ny, nz)
    image.SetSpacing(2.0 / nx, 2.0 / ny, 2.0 / nz)
    image.SetOrigin(-1.0 + 1.0 / nx, -1.0 + 1.0 / ny, -1.0 + 1.0 / nz)
    scalars = numpy_support.numpy_to_vtk(np.ascontiguousarray(density).ravel(), deep=True,
                                         array_type=vtk.VTK_UNSIGNED_CHAR)
    image.GetPointData().SetScalars(scalars)

    half_extents = geometry["half_extents"]
    radius = math.sqrt(sum(v * v for v in half_extents))
    sample_distance = radius / rate

    colour = vtk.vtkColorTransferFunction()
    opacity = vtk.vtkPiecewiseFunction()
    for value in range(128):
        r, g, b, a = ct_preset(value / 127.0)
        colour.AddRGBPoint(value, r, g, b)
        opacity.AddPoint(value, a)
    prop = vtk.vtkVolumeProperty()
    prop.SetColor(colour)
    prop.SetScalarOpacity(opacity)
    prop.SetScalarOpacityUnitDistance(sample_distance)
    prop.SetInterpolationTypeToLinear()
    prop.ShadeOn()
    prop.SetAmbient(AMBIENT)
    prop.SetDiffuse(DIFFUSE)
    prop.SetSpecular(SPECULAR)
    prop.SetSpecularPower(SPECULAR_POWER)

    mapper = vtk.vtkOpenGLGPUVolumeRayCastMapper()
    mapper.SetInputData(image)
    mapper.SetBlendModeToComposite()
    mapper.AutoAdjustSampleDistancesOff()
    mapper.SetSampleDistance(sample_distance)
    mapper.SetImageSampleDistance(1.0)
    mapper.SetMinimumImageSampleDistance(1.0)
    mapper.SetMaximumImageSampleDistance(1.0)
    mapper.LockSampleDistanceToInputSpacingOff()
    mapper.UseJitteringOff()
    if hasattr(mapper, "InteractiveAdjustSampleDistancesOff"):
        mapper.InteractiveAdjustSampleDistancesOff()

    volume = vtk.vtkVolume()
    volume.SetMapper(mapper)
    volume.SetProperty(prop)
    world = vtk.vtkMatrix4x4()
    values = geometry["volume_world"]  # column-major
    for column in range(4):
        for row in range(4):
            world.SetElement(row, column, values[4 * column + row])
    volume.SetUserMatrix(world)

    renderer = vtk.vtkRenderer()
    renderer.AddVolume(volume)
    renderer.SetBackground(0.1, 0.5, 0.1)  # the demo's clear colour
    renderer.AutomaticLightCreationOff()
    light = vtk.vtkLight()
    light.SetLightTypeToSceneLight()
    light.SetPosition(*LIGHT_POSITION)
    light.SetFocalPoint(0.0, 0.0, 0.0)
    light.SetColor(1.0, 1.0, 1.0)
    # VTK lights add no ambient term by default; the demo keeps an ambient floor.
    light.SetAmbientColor(1.0, 1.0, 1.0)
    light.PositionalOff()
    renderer.AddLight(light)

    cam = geometry["camera"]
    camera = renderer.GetActiveCamera()
    camera.SetPosition(*cam[0:3])
    camera.SetFocalPoint(*(cam[i] + cam[3 + i] for i in range(3)))
    camera.SetViewUp(*cam[6:9])
    camera.SetViewAngle(cam[9])
    camera.SetClippingRange(cam[10], cam[11])

    window = vtk.vtkRenderWindow()
    window.SetSize(width, height)
    window.SetMultiSamples(0)
    window.AddRenderer(renderer)
    window.SetWindowName("vtk_compare")

    def frame():
        window.Render()
        window.WaitForCompletion()

    for _ in range(WARM_UP_FRAMES):
        frame()
    if not mapper.IsRenderSupported(window, prop):
        sys.exit("vtkOpenGLGPUVolumeRayCastMapper cannot render on this context")
    near, far = camera.GetClippingRange()
    if abs(near - cam[10]) > 1e-6 or abs(far - cam[11]) > 1e-6:
        sys.exit("VTK changed the clipping range to %g..%g" % (near, far))
    gl_renderer = next((line for line in window.ReportCapabilities().splitlines()
                        if "OpenGL renderer string" in line), "OpenGL renderer string: unknown")
    print("VTK", vtk.vtkVersion.GetVTKVersion(), type(mapper).__name__, gl_renderer.strip(),
          "sample distance %.6g" % sample_distance)

    times, processor_times = [], []
    for _ in range(frames):
        start, processor_start = time.perf_counter(), processor_seconds()
        frame()
        times.append(1000.0 * (time.perf_counter() - start))
        processor_times.append(1000.0 * (processor_seconds() - processor_start))
        print("FRAME_MS %.3f %.3f" % (times[-1], processor_times[-1]), flush=True)

    if png:
        grab = vtk.vtkWindowToImageFilter()
        grab.SetInput(window)
        grab.SetInputBufferTypeToRGB()
        grab.ReadFrontBufferOff()
        grab.Update()
        writer = vtk.vtkPNGWriter()
        writer.SetFileName(png)
        writer.SetInputConnection(grab.GetOutputPort())
        writer.Write()
    print("RESULT %d %d %d %d %.3f %.3f %.3f" % (width, height, rate, frames, statistics.median(times), min(times),
                                              statistics.median(processor_times)))


# --- the table -------------------------------------------------------------------------------

def run_child(command):
    """Runs one measurement process; returns its stdout lines and the RESULT medians (wall, processor)."""
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    lines = done.stdout.splitlines()
    result = next((line.split() for line in lines if line.startswith("RESULT ")), None)
    if done.returncode != 0 or result is None:
        sys.stderr.write(done.stdout[-2000:] + done.stderr[-2000:])
        sys.exit("%s failed (exit status %d)" % (" ".join(command), done.returncode))
    return lines, float(result[5]), float(result[7])


def run_table(args):
    demo_binary = os.path.join(args.build, "demo_frame_time")
    configurations = QUICK_CONFIGURATIONS if args.quick else CONFIGURATIONS
    if args.png_dir:
        os.makedirs(args.png_dir, exist_ok=True)
    # Medians per frame: wall clock, then processor time of all the renderer's threads. With
    # repeats the two renderers take turns and each keeps its lowest median, the run least
    # disturbed by other work on the machine.
    print("%-10s %5s | %10s %10s %7s | %10s %10s %7s" % ("window", "rate", "demo ms", "VTK ms", "ratio",
                                                         "demo cpu", "VTK cpu", "ratio"), flush=True)
    for width, height, rate in configurations:
        frames = args.frames or (LARGE_FRAMES if width * height * rate > 480 * 360 * 250 else DEFAULT_FRAMES)
        demo_png = vtk_png = ""
        if args.png_dir and (width, height) == PNG_SIZE:
            demo_png = os.path.join(args.png_dir, "demo_%dx%d_r%d.png" % (width, height, rate))
            vtk_png = os.path.join(args.png_dir, "vtk_%dx%d_r%d.png" % (width, height, rate))
        demo_ms = vtk_ms = demo_cpu = vtk_cpu = math.inf
        for _ in range(max(1, args.repeat)):
            command = [demo_binary, str(width), str(height), str(rate), str(frames)] + ([demo_png] if demo_png else [])
            demo_lines, wall, cpu = run_child(command)
            demo_ms, demo_cpu = min(demo_ms, wall), min(demo_cpu, cpu)
            geometry = parse_geometry(demo_lines)
            check_geometry(geometry)
            with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
                f.write("\n".join(line for line in demo_lines if line.startswith("GEOMETRY ")) + "\n")
                geometry_file = f.name
            command = [sys.executable, os.path.abspath(__file__), "--vtk-only", str(width), str(height), str(rate),
                       "--frames", str(frames), "--geometry", geometry_file] + (["--png", vtk_png] if vtk_png else [])
            try:
                vtk_lines, wall, cpu = run_child(command)
            finally:
                os.remove(geometry_file)
            vtk_ms, vtk_cpu = min(vtk_ms, wall), min(vtk_cpu, cpu)
        if args.verbose:
            for line in vtk_lines:
                if line.startswith("VTK "):
                    print("  " + line)
        size = "%dx%d" % (width, height)
        print("%-10s %5d | %10.1f %10.1f %7.2f | %10.1f %10.1f %7.2f"
              % (size, rate, demo_ms, vtk_ms, demo_ms / vtk_ms, demo_cpu, vtk_cpu, demo_cpu / vtk_cpu), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--quick", action="store_true", help="skip 1024 x 768 rate 500")
    parser.add_argument("--frames", type=int, default=0, help="timed frames per renderer and configuration")
    parser.add_argument("--png-dir", default="", help="save the 480 x 360 frames of both renderers here")
    parser.add_argument("--build", default="build", help="build folder holding demo_frame_time")
    parser.add_argument("--repeat", type=int, default=1, help="runs per renderer and configuration, taking turns")
    parser.add_argument("--verbose", action="store_true", help="print VTK's version, mapper and GL renderer")
    parser.add_argument("--vtk-only", nargs=3, type=int, metavar=("W", "H", "RATE"))
    parser.add_argument("--png", default="", help="with --vtk-only: save the last frame here")
    parser.add_argument("--geometry", default="", help="with --vtk-only: the demo's GEOMETRY lines")
    args = parser.parse_args()
    if args.vtk_only:
        width, height, rate = args.vtk_only
        if args.geometry:
            with open(args.geometry) as f:
                geometry = parse_geometry(f.read().splitlines())
        else:
            eye, direction, up = expected_camera()
            world = expected_world_matrix()
            geometry = {"volume_world": [world[r][c] for c in range(4) for r in range(4)],
                        "half_extents": [1.0, 1.0, 1.0],
                        "camera": list(eye) + list(direction) + list(up) + [FIELD_OF_VIEW, NEAR, FAR]}
        run_vtk(width, height, rate, args.frames or DEFAULT_FRAMES, args.png, geometry)
    else:
        run_table(args)


if __name__ == "__main__":
    main()
