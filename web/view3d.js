// The workbench's 3-D view: the selected object's mesh as the host's mesh
// layer builds it (GET /api/view3d, or the state of a command's answer),
// with the outlines and paths it holds as lines, under orbit controls.
import * as THREE from 'three';
import { OrbitControls } from '/vendor/OrbitControls.js';

// A flat outline (every point with one coordinate zero: it lies in XY, ZY or
// XZ) filled by three.js's triangulation; null when it is not flat.
function flatFace(flat) {
  const points = [];
  for (let i = 0; i + 2 < flat.length; i += 3) points.push([flat[i], flat[i + 1], flat[i + 2]]);
  const out = [2, 0, 1].find((k) => points.every((p) => p[k] === 0));
  if (out === undefined) return null;
  const [h, v] = [0, 1, 2].filter((k) => k !== out);
  const contour = points.map((p) => new THREE.Vector2(p[h], p[v]));
  const triangles = THREE.ShapeUtils.triangulateShape(contour, []);
  if (!triangles.length) return null;
  const g = new THREE.BufferGeometry();
  g.setAttribute('position', new THREE.Float32BufferAttribute(flat, 3));
  g.setIndex(triangles.flat());
  return g;
}

export class View3d {
  constructor(canvas) {
    this.canvas = canvas;
    this.renderer = new THREE.WebGLRenderer({ canvas, antialias: true, preserveDrawingBuffer: true });
    this.renderer.setPixelRatio(1);
    this.renderer.setClearColor(0xf7f9fb, 1);
    this.scene = new THREE.Scene();
    this.camera = new THREE.PerspectiveCamera(40, canvas.width / canvas.height, 0.1, 1e7);
    this.camera.position.set(300, 250, 600);
    this.scene.add(new THREE.HemisphereLight(0xffffff, 0x445566, 1.6));
    const sun = new THREE.DirectionalLight(0xffffff, 1.8);
    sun.position.set(0.6, 1.0, 0.8);
    this.scene.add(sun);
    this.content = new THREE.Group();
    this.scene.add(this.content);
    this.material = new THREE.MeshStandardMaterial({
      color: 0xde911d, flatShading: true, side: THREE.DoubleSide, metalness: 0.05, roughness: 0.6,
    });
    this.lineMaterial = new THREE.LineBasicMaterial({ color: 0x1d4f80 });
    this.faceMaterial = new THREE.MeshBasicMaterial({
      color: 0xcfe3f7, side: THREE.DoubleSide, transparent: true, opacity: 0.85,
    });
    this.controls = new OrbitControls(this.camera, canvas);
    this.controls.addEventListener('change', () => this.render());
    this.box = null;
    this.render();
  }

  // Shows `view` ({positions, indices, lines: [{points, closed}], reason});
  // `fit` turns the camera to the whole of it.
  show(view, fit) {
    for (const child of [...this.content.children]) {
      child.geometry.dispose();
      this.content.remove(child);
    }
    if (view && view.positions && view.indices) {
      const g = new THREE.BufferGeometry();
      g.setAttribute('position', new THREE.Float32BufferAttribute(view.positions, 3));
      g.setIndex(view.indices);
      g.computeVertexNormals();
      this.content.add(new THREE.Mesh(g, this.material));
    }
    for (const line of (view && view.lines) || []) {
      const g = new THREE.BufferGeometry();
      g.setAttribute('position', new THREE.Float32BufferAttribute(line.points, 3));
      this.content.add(line.closed ? new THREE.LineLoop(g, this.lineMaterial) : new THREE.Line(g, this.lineMaterial));
      if (line.fill) {
        const face = flatFace(line.points);
        if (face) this.content.add(new THREE.Mesh(face, this.faceMaterial));
      }
    }
    this.box = this.content.children.length ? new THREE.Box3().setFromObject(this.content) : null;
    if (fit) this.fit();
    this.render();
    return this.content.children.length;
  }

  fit() {
    if (!this.box || this.box.isEmpty()) return;
    const sphere = this.box.getBoundingSphere(new THREE.Sphere());
    const radius = Math.max(sphere.radius, 1);
    const distance = radius / Math.sin(THREE.MathUtils.degToRad(this.camera.fov / 2));
    const direction = new THREE.Vector3(0.55, 0.45, 1).normalize();
    this.camera.position.copy(sphere.center).addScaledVector(direction, distance * 1.05);
    this.camera.near = Math.max(distance / 1000, 0.01);
    this.camera.far = distance * 100;
    this.camera.updateProjectionMatrix();
    this.controls.target.copy(sphere.center);
    this.controls.update();
    this.render();
  }

  render() { this.renderer.render(this.scene, this.camera); }
}
