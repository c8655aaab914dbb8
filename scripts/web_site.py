"""Makes the page's folder from the browser build's files: the game's files and icons under names that carry a hash
of their content (so a host and a browser may keep them for good, and a page never gets another build's copy), the
page that loads them, a service worker that keeps exactly this version, the manifest, the hosts' _headers, and
brotli and gzip copies for hosts that serve them. The same files in give the same bytes out.
Usage: web_site.py STAGE_FOLDER SITE_FOLDER (STAGE holds qelo.js, qelo.wasm, qtloader.js, icon-*.png and the
licences)"""
import hashlib, json, pathlib, shutil, subprocess, sys  # noqa: E401

templates = pathlib.Path(__file__).resolve().parents[1] / "packaging" / "web"
stage, site = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
if site.exists():
    shutil.rmtree(site)
(site / "assets").mkdir(parents=True)

hashed = {}
for file in sorted(stage.glob("*.js")) + sorted(stage.glob("*.wasm")) + sorted(stage.glob("*.png")):
    digest = hashlib.sha256(file.read_bytes()).hexdigest()[:16]
    hashed[file.name] = f"assets/{file.stem}.{digest}{file.suffix}"
    shutil.copyfile(file, site / hashed[file.name])
for file in sorted(stage.glob("*.txt")):
    shutil.copyfile(file, site / file.name)


def fill(name, **values):
    """The template with each staged file's quoted name replaced by its hashed one, and @KEY@ by values[KEY]."""
    text = (templates / name).read_text(encoding="utf-8")
    for plain, path in hashed.items():
        text = text.replace(f'"{plain}"', f'"{path}"')
    for key, value in values.items():
        text = text.replace(f"@{key}@", value)
    (site / name).write_text(text, encoding="utf-8")


fill("index.html", WASM_BYTES=str((stage / "qelo.wasm").stat().st_size))
fill("manifest.webmanifest")
shutil.copyfile(templates / "_headers", site / "_headers")
# The worker keeps every file but itself and the hosts' rules; its version is a hash of all of them.
kept = sorted(str(p.relative_to(site)) for p in site.rglob("*") if p.is_file() and p.name != "_headers")
version = hashlib.sha256(b"".join(p.encode() + b"\0" + (site / p).read_bytes() for p in kept)).hexdigest()[:16]
fill("sw.js", VERSION=version, FILES=json.dumps(kept))

for file in sorted(site.rglob("*")):
    if file.suffix in (".html", ".js", ".wasm", ".webmanifest", ".txt"):
        subprocess.run(["brotli", "-q", "11", "-k", "-f", str(file)], check=True)
        subprocess.run(["gzip", "-9", "-k", "-n", "-f", str(file)], check=True)
print(f"Page version {version}: {', '.join(sorted(hashed.values()))}")
