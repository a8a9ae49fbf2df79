#!/usr/bin/env python3
"""Load a data file, analyse it as vorn-batch does and plot the result.

    python3 examples/vorn_notebook.py examples/si_p_single.nT out

Prints the levels and densities of the stages; with matplotlib installed it
also shows n(T) with the spline and the simulation and each H function with
its fit, and saves them as out/<sample>.png.
"""
import os
import sys

import vorn

path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "si_p_single.nT")
out = sys.argv[2] if len(sys.argv) > 2 else "vorn-out"

data = vorn.read(path)
print(f"{data.name}: {data.material} {data.conduction_type}, {len(data.temperature)} points "
      f"from {data.temperature.min():g} K to {data.temperature.max():g} K")

result = vorn.analyse(path, smoothness="auto", output_dir=out)
for stage in result.stages:
    if stage.evaluated:
        print(f"{stage.stage}: E = {stage.energy_level:.4f} eV, N = {stage.density:.3e} cm^-3, "
              f"N_comp = {stage.compensating_density:.3e} cm^-3")
print("files:", ", ".join(os.path.basename(f) for f in result.files))

try:
    import matplotlib
    matplotlib.use("Agg" if not os.environ.get("DISPLAY") else matplotlib.get_backend())
    import matplotlib.pyplot as plt
except ImportError:
    sys.exit(0)

panels = 1 + len(result.h_curves)
fig, axes = plt.subplots(1, panels, figsize=(5 * panels, 4))
axes = list(axes) if panels > 1 else [axes]
ax = axes[0]
ax.semilogy(result.temperature, result.concentration, "k.", label="measured")
ax.semilogy(result.grid, result.spline, label="spline")
ax.semilogy(result.grid, result.simulation, label="simulation")
ax.set_xlabel("T [K]")
ax.set_ylabel("n [cm$^{-3}$]")
ax.legend()
for ax, stage, h, fit in zip(axes[1:], result.stages, result.h_curves, result.fitted_h_curves):
    ax.plot(result.grid, h, "k", label=stage.stage)
    if len(fit):
        ax.plot(result.grid, fit, "r", label="fit")
    ax.set_xlabel("T [K]")
    unit = "cm$^{-6}$ eV$^{-2.5}$" if result.function_type == "H" else "cm$^{-3}$ eV$^{-1}$"
    ax.set_ylabel(f"{stage.stage} [{unit}]")
    ax.legend()
fig.tight_layout()
fig.savefig(os.path.join(out, data.name + ".png"))
print("figure:", os.path.join(out, data.name + ".png"))
