// Where a camera stands to show a box whole, for the pages' viewers (the
// shot page and the engine proof page): looking along -direction at the
// box's centre with `up` up, far enough back that every corner fits the
// view across and down, whatever the window's shape.
(function (kestrinPage) {
  'use strict';

  // direction: unit, from the box toward the camera; up: unit, across it.
  kestrinPage.frameCamera = function (camera, box, direction, up) {
    const right = new THREE.Vector3().crossVectors(up, direction);
    const centre = box.getCenter(new THREE.Vector3());
    let halfWidth = 0, halfHeight = 0, halfDepth = 0;
    const corner = new THREE.Vector3();
    for (let c = 0; c < 8; ++c) {
      corner.set(c & 1 ? box.max.x : box.min.x, c & 2 ? box.max.y : box.min.y, c & 4 ? box.max.z : box.min.z)
        .sub(centre);
      halfWidth = Math.max(halfWidth, Math.abs(corner.dot(right)));
      halfHeight = Math.max(halfHeight, Math.abs(corner.dot(up)));
      halfDepth = Math.max(halfDepth, Math.abs(corner.dot(direction)));
    }
    const tanHalf = Math.tan(camera.fov / 2 * Math.PI / 180);
    const distance = halfDepth + 1.1 * Math.max(halfHeight / tanHalf, halfWidth / (tanHalf * camera.aspect), 1e-6);
    camera.near = distance / 100;
    camera.far = distance * 10;
    camera.up.copy(up);
    camera.position.copy(centre).addScaledVector(direction, distance);
    camera.lookAt(centre);
    camera.updateProjectionMatrix();
    return centre;
  };
})(window.kestrinPage = window.kestrinPage || {});
